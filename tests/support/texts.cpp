// Expected texts, written out in full here so that the tests do not borrow
// them from the code under test.
#include "texts.h"

std::string banner(const std::string& program)
{
    return program + " version " SJ_VERSION " by the sj contributors\n\n"
           "This program uses undocumented CAT commands to read or update the EEPROM\n"
           "in the Yaesu FT817, FT857, and FT897 Radios. The soft jumper settings are stored\n"
           "in location 4 and 5 of the EEPROM. Power the radio off and on to activate\n"
           "the new settings. If you do a reset of the radio, you will have to run\n"
           "this program again to rewrite the values\n\n"
           "The program assumes that the radio CAT rate is set to 38400 baud\n\n"
           "*** USE AT YOUR OWN RISK ***\n\n";
}

std::string usage_text()
{
    return "Usage: sj [-#]               Reads the current EEPROM values only, does not\n"
           "                             write anything to the EEPROM\n\n"
           "       sj [-#] <B1> <B2>     Byte1 and byte2 are the two hex values\n"
           "                             to put into address 4 and address 5 in the EEPROM\n\n"
           "                             Optional: -#, use COM port COM#\n\n"
           "Example: sj 70 06            Writes the values 70 06 to the EEPROM via COM1:\n"
           "         sj -2               Reads the current values using COM2:\n"
           "         sj -2 F8 BF         Writes F8 BF using COM2:\n\n";
}

std::string port_message(int port)
{
    return "Serial port COM" + std::to_string(port) + ": successfully reconfigured.\n\n";
}

std::string jumper_line(const std::string& bytes)
{
    return "Software jumpers are set to : " + bytes + "\n";
}

std::string write_prompt(const std::string& b1, const std::string& b2)
{
    return "\nAbout to write the values " + b1 + " " + b2 + " to the EEPROM\n"
           "Are you SURE you want to do this ?\nPlease answer YES to continue > ";
}

std::string port_forms_note(bool device_paths)
{
    return std::string("sj: the port is -1 to -256 (COM1: to COM256:)") +
           (device_paths ? ", or a device path such as /dev/serial0" : "") +
           "; see \"Finding the port\" in sj's README\n";
}

std::string odd_read_note(int count, const std::string& again, int shown)
{
    return "sj: the radio's answer had " + std::to_string(count) + (count == 1 ? " byte" : " bytes") +
           (shown < count ? " (" + std::to_string(shown) + " shown)" : "") +
           ", not 2, so the values shown may not be the jumpers (a wrong CAT rate, a noisy line)" +
           (again.empty() ? "" : "; check the CAT rate and the cable, then " + again + " reads them again") + "\n";
}

std::string echo_note()
{
    return "sj: the interface echoes what sj sends; the echo is left out of the answers shown\n";
}

std::string unsettled_read_note(int late, const std::string& again)
{
    return "sj: " + std::to_string(late) + (late == 1 ? " more byte" : " more bytes") + " came after that answer, so it "
           "may not be the radio's and the values shown are not certain; once the line is quiet, " + again +
           " reads them again\n";
}

std::string silence_hint()
{
    return "sj: no answer from the radio yet. Check that it is switched on, that its CAT rate is 38400 baud and that "
           "the cable is in its CAT jack (the ACC jack on an FT-817). Ctrl-C stops sj.\n";
}

std::string write_hint(const std::string& again, const std::string& before)
{
    return "sj: no answer from the radio since the write command was sent (Ctrl-C stops sj); " + write_was_out(again) +
           "\n" + way_back(again, before);
}

std::string way_back(const std::string& again, const std::string& before, const std::string& kept_in)
{
    return "sj: the bytes before this write were " + before + "; " + again + " " + before + " writes them back" +
           (kept_in.empty() ? "" : " (kept in " + kept_in + ")") + "\n";
}

std::string write_accepted()
{
    return "Radio accepted write EEPROM command\n\n";
}

std::string reading_again()
{
    return "Reading EEPROM values again:\n";
}

std::string went_away_note(const std::string& device, const std::string& fate)
{
    return "sj: " + device + " went away: the cable was pulled or the adapter was reset" + (fate.empty() ? "" : "; ") +
           fate + "\n";
}

std::string fate_note(const std::string& fate)
{
    return "sj: " + fate + "\n";
}

std::string came_before_write_note(int count, const std::string& again)
{
    return "sj: " + std::to_string(count) + (count == 1 ? " more byte" : " more bytes") + " came after the jumpers "
           "were read, so the values shown are not certain: once the line is quiet, " + again + " reads them again; " +
           write_not_sent() + "\n";
}

std::string write_not_sent()
{
    return "the write command was not sent, so the radio holds what it had";
}

std::string write_was_out(const std::string& again)
{
    return "the write command was out, so the radio may or may not hold the new bytes: " + again + " reads them";
}
