// The POSIX link against pseudo-terminals: device lookup, line settings as
// the other side sees them, the modem lines, exclusivity and the read rule
// (a held port is refused end to end, by the second of two real runs).
#include "capture.h"
#include "cat.h"
#include "serial_link.h"
#include "system_calls.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <csignal>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/types.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#ifndef LINK_PORTS
#error "LINK_PORTS must name the folder this link looks in"
#endif

namespace {

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

    std::string plain_file = std::string(LINK_PORTS) + "/plain-file";  // no serial port; locked by this test alone
    std::fclose(std::fopen(plain_file.c_str(), "w"));
    place("tty8", plain_file);
    EXPECT_EQ(open_quietly(link, 9, ok), "GetCommState failed with error 25.\n");
    EXPECT_FALSE(ok);

    place("tty5", std::string(LINK_PORTS) + "/nowhere");  // a dangling link does not exist
    EXPECT_EQ(open_quietly(link, 6, ok), "CreateFile failed opening COM6: with error 2.\n");
}

// A user who may not open the device is told what would let them in, as
// its mode, their groups and the folders on the way say.
TEST_F(Link, NoPermissionSaysWhatWouldHelp)
{
    struct stat st;
    const group* owner = stat(slave.c_str(), &st) == 0 ? getgrgid(st.st_gid) : nullptr;
    if (getuid() != 0 || !owner)
        GTEST_SKIP() << "needs root, to open a pty that others may not open as another user";
    std::string g = owner->gr_name, locked = std::string(LINK_PORTS) + "/locked", admin = "; the system's administrator";
    const passwd* nobody = getpwuid(65534);
    // The group file lists the user (in a mount namespace of the child's own) where `listed`.
    const struct { mode_t mode; bool in_group, listed; std::string path, note; } cases[] = {
        {0600, false, false, slave, ": its mode (crw------- root " + g + ") lets no group in, so joining one cannot help" + admin + " (or a udev rule) decides"},
        {0640, true, false, slave, ": the group " + g + ", which you are in, may only read it (crw-r----- root " + g + ")" + admin + " (or a udev rule) decides"},
        {0660, false, false, slave, ": join the group " + g + " (sudo adduser $USER " + g + "), then log in again"},
        {0660, false, true, slave, ": /etc/group lists you in the group " + g + ", but this login began before that: log in again (or run newgrp " + g + ")"},
        {0660, false, false, locked + "/radio", ": you may not search the folder " + locked + " on the way to it" + admin + " decides"}};
    mkdir(locked.c_str(), 0700);
    unlink((locked + "/radio").c_str());
    symlink(slave.c_str(), (locked + "/radio").c_str());
    bool others_reach_ports = true;  // a checkout under /root (0700) keeps the folder row from telling
    struct stat folder;
    for (std::size_t slash = 1; (slash = locked.find('/', slash)) != std::string::npos; ++slash)
        others_reach_ports &= stat(locked.substr(0, slash).c_str(), &folder) == 0 && (folder.st_mode & S_IXOTH) != 0;
    std::string group_file = std::string(LINK_PORTS) + "/group";
    if (nobody)
        std::ofstream(group_file) << g << ":x:" << st.st_gid << ":someone," << nobody->pw_name << "\n";
    for (const auto& c : cases) {
        if ((c.path != slave && !others_reach_ports) || (c.listed && !nobody))
            continue;
        std::string errors(512, '\0');
        std::FILE* notes = std::tmpfile();
        if (chmod(slave.c_str(), c.mode) == 0 && fork() == 0) {
            SerialLink link;
            // Where "/" is no mount point (a chroot) no namespace can be made private: nothing is
            // mounted then, and the case is left out (2) rather than risk the bind reaching the host.
            if (c.listed && (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0))
                _exit(2);
            bool listed = !c.listed || mount(group_file.c_str(), "/etc/group", nullptr, MS_BIND, nullptr) == 0;
            bool user = listed && setgroups(c.in_group ? 1 : 0, &st.st_gid) == 0 && setgid(65534) == 0 && setuid(65534) == 0;
            _exit(user && dup2(fileno(notes), 2) == 2 && std::freopen("/dev/null", "w", stdout) && !open_link_at(link, c.path.c_str()) ? 0 : 1);
        }
        int status = 1;
        if (wait(&status) > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 2) {
            std::printf("left out: the group file's case, for want of a mount namespace of its own\n");
            continue;
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        std::rewind(notes);
        errors.resize(std::fread(errors.data(), 1, errors.size(), notes));
        EXPECT_EQ(errors, "sj: no permission to open " + c.path + c.note + "\n");
    }
}

struct ReadRuleCase {
    const char* name;
    std::vector<long long> arrival_ms;  // of each byte, from the start of the read
    int count;
    long long ends_at_ms;
};

// The read rule on the test's own clock: wait for the first byte without
// limit (with a hint once 2 s have passed), then end at 4 bytes or once more
// than 100 ms pass after the last.
TEST_F(Link, ReadRuleOnTheTestsClock)
{
    const ReadRuleCase cases[] = {
        {"one byte", {0}, 1, 100},
        {"99 ms pauses carry on", {0, 99, 198}, 3, 298},
        {"a 101 ms pause ends it", {0, 101}, 1, 100},
        {"the gap counts from the last byte", {0, 60, 120}, 3, 220},
        {"the first byte may take ten minutes", {600000, 600050}, 2, 600150},
        {"four end it at once", {5, 5, 5, 5, 5, 5}, 4, 5},
    };
    SerialLink link;
    open_com1(link);
    for (const ReadRuleCase& c : cases) {
        SCOPED_TRACE(c.name);
        scripted_line = ScriptedLine{};
        scripted_line.fd = static_cast<int>(link.handle);
        scripted_line.arrival_ms = c.arrival_ms;
        for (std::size_t i = 0; i < c.arrival_ms.size(); ++i)
            scripted_line.bytes.push_back(static_cast<std::uint8_t>(0x10 + i));
        std::uint8_t buffer[4];
        SilenceNote silence = {"", false};  // a note that prints nothing
        int got = receive(link, buffer, 4, silence);
        scripted_line.fd = -1;
        EXPECT_EQ(got, c.count);
        EXPECT_EQ(scripted_line.now_ms, c.ends_at_ms);
        EXPECT_EQ(scripted_line.poll_timeouts.front(), SILENCE_HINT_MS);
        EXPECT_EQ(silence.given, c.arrival_ms[0] > SILENCE_HINT_MS);
        if (silence.given) {
            EXPECT_EQ(scripted_line.poll_timeouts[1], -1);  // then no limit
        }
        for (int i = 0; i < got; ++i)
            EXPECT_EQ(buffer[i], 0x10 + i);
    }
    close_link(link);
}

// Before a command: nothing for 200 ms since the last byte, what comes
// meanwhile dropped; a line that never pauses so long is given up after 2 s;
// a hang-up is no quiet line, before or after bytes.
TEST_F(Link, WaitsForAQuietLineOnTheTestsClock)
{
    std::vector<long long> steady(20);  // a byte every 150 ms
    for (std::size_t i = 0; i < steady.size(); ++i)
        steady[i] = 150 * static_cast<long long>(i + 1);
    const struct { std::vector<long long> arrival_ms; long long hangup_ms; LineWait wait; long long ends_at_ms; } cases[] = {
        {{}, -1, LineWait::Quiet, 200}, {{150, 349}, -1, LineWait::Quiet, 549}, {steady, -1, LineWait::Noisy, 2100},
        {{}, 150, LineWait::Failed, 150}, {{150}, 300, LineWait::Failed, 300}};
    SerialLink link;
    open_com1(link);
    for (const auto& c : cases) {
        scripted_line = ScriptedLine{static_cast<int>(link.handle), 0, c.arrival_ms, {}, 0, {}, c.hangup_ms};
        scripted_line.bytes.resize(c.arrival_ms.size());
        link.last_byte_us = 0;
        link.error = 0;
        int dropped = 0;
        EXPECT_EQ(wait_for_quiet_line(link, QUIET_LINE_MS, dropped), c.wait);
        EXPECT_EQ(link.error, c.wait == LineWait::Failed ? EIO : 0);  // for ReadFile's message
        scripted_line.fd = -1;
        EXPECT_EQ(scripted_line.now_ms, c.ends_at_ms);
    }
    close_link(link);
}

// A pty shows neither the modem lines nor the exclusive flag: the link's
// requests are read from the wrapped ioctl instead.
TEST_F(Link, ClearsDtrAndRtsAndTakesASerialPortExclusively)
{
    for (bool serial_port : {false, true}) {
        SCOPED_TRACE(serial_port ? "serial port" : "pseudo-terminal");
        ioctl_calls.clear();
        fstat_says_serial_port = serial_port;
        SerialLink link;
        open_com1(link);
        fstat_says_serial_port = false;
        close_link(link);
        bool cleared = false, exclusive = false, given_back = false;
        for (const IoctlCall& call : ioctl_calls) {
            cleared |= call.request == TIOCMBIC && call.lines == (TIOCM_DTR | TIOCM_RTS);
            exclusive |= call.request == TIOCEXCL;
            given_back |= exclusive && call.request == TIOCNXCL;  // the flag must not outlive sj
        }
        EXPECT_TRUE(cleared);
        EXPECT_EQ(exclusive, serial_port);
        EXPECT_EQ(given_back, serial_port);
    }
}

// Any signal that ends sj clears the exclusive flag first (set here on a pty
// taken for a serial port), and sj still dies of it (dumping no core here).
TEST_F(Link, AFatalSignalClearsTheExclusiveFlag)
{
    place("tty0", slave);
    int probe = 0;  // qemu-user passes no TIOCGEXCL on: there only the status can be seen
    bool flag_visible = ioctl(master, TIOCGEXCL, &probe) == 0;
    for (int signal_number : {SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM, SIGABRT, SIGRTMIN + 2}) {
        if (fork() == 0) {
            rlimit no_core = {0, 0};
            fstat_says_serial_port = setrlimit(RLIMIT_CORE, &no_core) == 0 && std::freopen("/dev/null", "w", stdout);
            SerialLink link;
            _exit(open_link(link, 1) ? raise(signal_number) : 2);
        }
        int status = 0, exclusive = 1, fd = wait(&status) > 0 ? open(slave.c_str(), O_RDWR | O_NOCTTY) : -1;
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal_number) << signal_number;
        EXPECT_TRUE(!flag_visible || (ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive == 0)) << signal_number;
        close(fd);
    }
}

// A pty that hangs up fails reads with EIO; a pipe's end of file is the
// other way a line can vanish. Nothing can contradict bytes that came
// before a hang-up: they are no answer.
TEST_F(Link, HangUpFailsTheReadEvenAfterBytes)
{
    SerialLink link;
    open_com1(link);
    close(master);
    master = -1;
    std::uint8_t buffer[4];
    SilenceNote silence = {nullptr, false};
    EXPECT_EQ(receive(link, buffer, 4, silence), -1);
    EXPECT_TRUE(link.failed_step == LinkStep::ReadLine && link.error == EIO);  // ReadFile's message, error 5
    close_link(link);

    int line[2];
    ASSERT_EQ(pipe(line), 0);
    link.handle = line[0];
    link.error = 0;
    ASSERT_EQ(write(line[1], "\x70", 1), 1);
    close(line[1]);
    EXPECT_EQ(receive(link, buffer, 4, silence), -1);
    EXPECT_TRUE(link.failed_step == LinkStep::ReadLine && link.error == EIO);
    close_link(link);
}

}  // namespace
