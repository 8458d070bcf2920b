// Writes the manual page ravelin.1 from the option table that --help prints, so the
// two cannot disagree. Usage: ravelin_make_manpage OUTPUT
#include <cstdio>
#include <fstream>
#include <string>

#include "app/options.h"

namespace {

// Text for a troff body line: backslashes and hyphens escaped, no control character first.
std::string roff(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

std::string page() {
    const std::string version = ravelin::versionText();  // "ravelin 1.4.0"
    std::string m;
    m += ".\\\" Generated from the program's option table; edit src/app/options.cpp, not this file.\n";
    m += ".TH RAVELIN 1 \"\" \"" + roff(version) + "\" \"User Commands\"\n";
    m += ".SH NAME\nravelin \\- radiation monitor for a Geiger\\-M\\(:uller counter on the sound input\n";
    m += ".SH SYNOPSIS\n.B ravelin\n[\\fIOPTION\\fR]...\n.br\n.B ravelin \\-\\-headless\n[\\fIOPTION\\fR]...\n";
    m += ".SH DESCRIPTION\n"
         "Ravelin counts the pulses of a Geiger\\-M\\(:uller tube whose pulse output is wired into the\n"
         "computer's sound input, and shows the elapsed seconds, the total count, the counts per\n"
         "minute and the dose rate in \\(*mSv/h once a second.\n"
         "Without options it opens its main window, whose interface is in Japanese.\n"
         ".PP\n"
         "With \\fB\\-\\-headless\\fR it runs without a window and prints one CSV line a second to\n"
         "standard output; problems go to standard error.\n"
         "Once a minute a record is appended to the day's CSV log unless \\fB\\-\\-no\\-log\\fR is given.\n";
    m += ".SH OPTIONS\n";
    for (const auto& o : ravelin::optionTable()) {
        m += ".TP\n\\fB\\-\\-" + roff(o.name) + "\\fR";
        if (*o.valueName) m += " \\fI" + roff(o.valueName) + "\\fR";
        m += "\n" + roff(o.help) + "\n";
    }
    m += ".SH WEB SERVER\n"
         "With \\fB\\-\\-http\\fR [\\fIADDR\\fR:]\\fIPORT\\fR (also the \\fIhttp\\fR key of the configuration file) the\n"
         "monitor serves, read only: \\fI/\\fR (a page with the readouts, updated every second, the trend\n"
         "and the last day of history), \\fI/events\\fR (Server\\-Sent Events, the station's state message\n"
         "once a second), \\fI/api/now\\fR, \\fI/api/history?from=yyyy\\-mm\\-dd&to=yyyy\\-mm\\-dd\\fR (the log's\n"
         "records), \\fI/trend.svg\\fR, \\fI/history.svg\\fR and \\fI/metrics\\fR (Prometheus).\n"
         "ADDR defaults to 127.0.0.1. There is no TLS and no login: an address such as 0.0.0.0 shows the\n"
         "readings and the log folder's path to everyone who can reach the port; put a reverse proxy\n"
         "with TLS and authentication in front to reach it from elsewhere. A port that cannot be bound is\n"
         "reported and tried again every minute; counting goes on.\n";
    m += ".SH EXIT STATUS\n";
    for (const auto& e : ravelin::exitStatusTable())
        m += ".TP\n" + std::to_string(e.status) + "\n" + roff(e.meaning) + "\n";
    m += ".SH FILES\n"
         ".TP\n\\fI/usr/share/ravelin/sounds/alarm1.wav\\fR, \\fI/usr/share/ravelin/sounds/alarm2.wav\\fR\n"
         "The program's own alarm sounds, played when \\fIdaiichi.wav\\fR (stage 1) or \\fIdaini.wav\\fR\n"
         "(stage 2) is missing from the working directory. They are looked for in\n"
         "\\fI../share/ravelin\\fR beside the program, so an installation under any prefix finds them.\n"
         ".TP\n\\fIμSVHData\\fR\\fIyyyymmdd\\fR\\fI.csv\\fR\n"
         "The day's CSV log: the date, the time and the dose rate, one record a minute.\n"
         ".TP\n\\fI/etc/ravelin/station.conf\\fR\n"
         "The settings of the station service \\fIravelin.service\\fR, read with \\fB\\-\\-config\\fR: one\n"
         "\\fIkey\\fR = \\fIvalue\\fR a line, the keys being the long options without their dashes.\n"
         ".TP\n\\fI$XDG_CONFIG_HOME/ravelin/ravelin.conf\\fR (\\fI~/.config/ravelin/ravelin.conf\\fR)\n"
         "The window's settings, written only by its \\(lqsave these settings\\(rq button and read when the\n"
         "window starts (\\fB\\-\\-config\\fR names another file); an option on the command line wins.\n"
         "Its window-only keys (\\fItest\\fR, \\fIgraph\\fR, \\fIalarm1\\-ticked\\fR, \\fIalarm2\\-ticked\\fR) are\n"
         "refused by the headless monitor, which never reads this file by itself.\n"
         ".TP\n\\fIsafecast.outbox\\fR, \\fIsafecast.outbox\\-done\\fR\n"
         "In the state folder (\\fB\\-\\-state\\-dir\\fR), only with \\fB\\-\\-safecast\\fR: the readings waiting for\n"
         "Safecast, one a line, and a line for each one sent or dropped; both go when none waits.\n";
    m += ".SH SHARING YOUR READINGS\n"
         "With \\fB\\-\\-radmon\\fR, \\fB\\-\\-gmcmap\\fR or \\fB\\-\\-safecast\\fR each minute's CPM and dose rate,\n"
         "timed at the UTC time of the minute's 60th second, go to radmon.org, GMCmap or Safecast.\n"
         "radmon.org and GMCmap get the latest reading only; Safecast gets every reading, in order,\n"
         "from an outbox that keeps each one until Safecast has taken it, across restarts.\n"
         "Each secret (radmon.org's data-sending password, GMCmap's counter id, Safecast's API key)\n"
         "is the first line of a file only its owner may read, and is never printed.\n"
         "GMCmap's documented address is plain http: its ids and the readings travel in clear.\n"
         "The readings, and for Safecast the position given with \\fB\\-\\-latitude\\fR and\n"
         "\\fB\\-\\-longitude\\fR, become public.\n"
         "Each service's state changes are reported on standard error and, with \\fB\\-\\-mqtt\\fR, in the\n"
         "state message.\n"
         "The user manual's section \\(lqSharing your readings\\(rq says how to get each account's ids and keys.\n";
    m += ".SH EXAMPLES\n"
         "Ten simulated seconds without a window:\n"
         ".PP\n.nf\n.RS\nravelin \\-\\-headless \\-\\-fast \\-\\-input sim \\-\\-seed 1 \\-\\-seconds 10 \\-\\-sensitivity 29 "
         "\\-\\-no\\-log\n.RE\n.fi\n"
         ".PP\nA station with its page and metrics on every network of the machine, port 8080:\n"
         ".PP\n.nf\n.RS\nravelin \\-\\-headless \\-\\-sensitivity 29 \\-\\-http 0.0.0.0:8080\n.RE\n.fi\n";
    m += ".SH SEE ALSO\n"
         "The user manual, \\fIdocs/manual.md\\fR in the source tree and \\fI/usr/share/doc/ravelin/docs/manual.md\\fR\n"
         "in the Debian package: the input sources, the setup assistant, the windows, the CSV log, the\n"
         "station's messages and service, sharing the readings, the tube table, and how each part is tested.\n"
         "\\fIREADME.md\\fR, in the folder above it, is the short introduction.\n";
    m += ".SH AUTHORS\nRavelin developers.\n";
    return m;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << page();
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: cannot write\n", argv[1]);
        return 1;
    }
    return 0;
}
