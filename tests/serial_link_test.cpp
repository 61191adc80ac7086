// The POSIX link against pseudo-terminals: device lookup, line settings as
// the other side sees them, exclusivity and the read rule.
#include "capture.h"
#include "serial_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

#ifndef LINK_PORTS
#error "LINK_PORTS must name the folder this link looks in"
#endif

namespace {

using Clock = std::chrono::steady_clock;

double ms_since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class Link : public ::testing::Test {
protected:
    int master = -1;
    std::string slave;
    std::vector<std::string> links;

    void SetUp() override
    {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(grantpt(master), 0);
        ASSERT_EQ(unlockpt(master), 0);
        slave = ptsname(master);
    }
    void TearDown() override
    {
        for (const std::string& path : links)
            unlink(path.c_str());
        if (master >= 0)
            close(master);
    }
    // LINK_PORTS/<name> points at `target`.
    void place(const std::string& name, const std::string& target)
    {
        std::string path = std::string(LINK_PORTS) + "/" + name;
        unlink(path.c_str());
        ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
        links.push_back(path);
    }
    std::string open_quietly(SerialLink& link, int port, bool& ok)
    {
        begin_capture();
        ok = open_link(link, port);
        return end_capture();
    }
    void open_com1(SerialLink& link)
    {
        place("tty0", slave);
        bool ok;
        std::string output = open_quietly(link, 1, ok);
        ASSERT_TRUE(ok) << output;
    }
    void from_radio(const char* bytes, std::size_t count)
    {
        ASSERT_EQ(write(master, bytes, count), static_cast<ssize_t>(count));
    }
};

TEST_F(Link, TakesTheFirstDeviceThatExistsAndSetsTheCatLine)
{
    place("alt1", slave);  // COM2: has no tty1, so the second format is used
    SerialLink link;
    bool ok;
    EXPECT_EQ(open_quietly(link, 2, ok), "Serial port COM2: successfully reconfigured.\n\n");
    ASSERT_TRUE(ok);
    EXPECT_STREQ(link.name, "COM2:");

    int other = open(slave.c_str(), O_RDWR | O_NOCTTY);
    termios tio;
    ASSERT_EQ(tcgetattr(other, &tio), 0);
    close(other);
    EXPECT_EQ(cfgetispeed(&tio), B38400);
    EXPECT_EQ(cfgetospeed(&tio), B38400);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_TRUE(tio.c_cflag & CLOCAL);
    EXPECT_TRUE(tio.c_cflag & CREAD);
    EXPECT_FALSE(tio.c_cflag & (PARENB | CRTSCTS));
    EXPECT_FALSE(tio.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN));
    EXPECT_FALSE(tio.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP | INPCK | BRKINT));
    EXPECT_FALSE(tio.c_oflag & OPOST);
    EXPECT_EQ(tio.c_cc[VMIN], 1);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
    close_link(link);
}

TEST_F(Link, OpenFailuresNameTheDeviceAndTheErrorNumber)
{
    SerialLink link;
    bool ok;
    EXPECT_EQ(open_quietly(link, 7, ok), "CreateFile failed opening COM7: with error 2.\n");
    EXPECT_FALSE(ok);

    place("tty8", "/dev/null");  // a device, but no serial port
    EXPECT_EQ(open_quietly(link, 9, ok), "GetCommState failed with error 25.\n");
    EXPECT_FALSE(ok);

    place("tty5", std::string(LINK_PORTS) + "/nowhere");  // a dangling link does not exist
    EXPECT_EQ(open_quietly(link, 6, ok), "CreateFile failed opening COM6: with error 2.\n");
}

TEST_F(Link, SecondOpenOfAHeldPortFailsAtTheOpen)
{
    SerialLink first, second;
    open_com1(first);
    bool ok;
    EXPECT_EQ(open_quietly(second, 1, ok), "CreateFile failed opening COM1: with error 11.\n");
    EXPECT_FALSE(ok);
    close_link(first);
    EXPECT_EQ(open_quietly(second, 1, ok), "Serial port COM1: successfully reconfigured.\n\n");
    close_link(second);
}

TEST_F(Link, SendsTheFrameAsIs)
{
    SerialLink link;
    open_com1(link);
    const std::uint8_t frame[5] = {0x00, 0x04, 0x11, 0x0D, 0xBC};  // 0x11 is XON, 0x0D is CR
    EXPECT_EQ(send_frame(link, frame, 5), 5);
    std::uint8_t got[5];
    ASSERT_EQ(read(master, got, 5), 5);
    EXPECT_EQ(0, std::memcmp(frame, got, 5));
    close_link(link);
}

TEST_F(Link, AnswerEndsAboutOneGapAfterTheLastByte)
{
    SerialLink link;
    open_com1(link);
    from_radio("\x0a\x13", 2);  // LF and XOFF must pass unchanged
    std::uint8_t buffer[4];
    Clock::time_point start = Clock::now();
    EXPECT_EQ(receive(link, buffer, 4), 2);
    double elapsed = ms_since(start);
    EXPECT_EQ(buffer[0], 0x0a);
    EXPECT_EQ(buffer[1], 0x13);
    EXPECT_GE(elapsed, 100.0);
    EXPECT_LT(elapsed, 1000.0);
    RecordProperty("gap_ms", std::to_string(elapsed));
    std::printf("read of 2 bytes ended %.3f ms after they arrived\n", elapsed);
    close_link(link);
}

TEST_F(Link, LongAnswerGivesFourAndLeavesTheRestForTheNextRead)
{
    SerialLink link;
    open_com1(link);
    from_radio("\x01\x02\x03\x04\x05\x06", 6);
    std::uint8_t buffer[4];
    Clock::time_point start = Clock::now();
    EXPECT_EQ(receive(link, buffer, 4), 4);
    EXPECT_LT(ms_since(start), 100.0);  // four bytes end the read at once
    EXPECT_EQ(buffer[3], 0x04);
    EXPECT_EQ(receive(link, buffer, 4), 2);
    EXPECT_EQ(buffer[0], 0x05);
    EXPECT_EQ(buffer[1], 0x06);
    close_link(link);
}

TEST_F(Link, ShortPausesDoNotEndAnAnswerButALongOneDoes)
{
    SerialLink link;
    open_com1(link);
    std::thread radio([this] {
        for (const char* byte : {"\x11", "\x22", "\x33"}) {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            from_radio(byte, 1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        from_radio("\x44", 1);
    });
    std::uint8_t buffer[4];
    EXPECT_EQ(receive(link, buffer, 4), 3);  // waits for the first byte, then 40 ms gaps
    EXPECT_EQ(buffer[2], 0x33);
    EXPECT_EQ(receive(link, buffer, 4), 1);
    EXPECT_EQ(buffer[0], 0x44);
    radio.join();
    close_link(link);
}

TEST_F(Link, HangUpEndsTheAnswerWithWhatCame)
{
    SerialLink link;
    open_com1(link);
    close(master);
    master = -1;
    std::uint8_t buffer[4];
    EXPECT_EQ(receive(link, buffer, 4), 0);
    close_link(link);
}

}  // namespace
