#include <QCoreApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/calibrate.h"
#include "app/gui.h"
#include "app/headless.h"
#include "app/history.h"
#include "app/options.h"
#include "engine/tubes.h"
#include "platform/capture_sources.h"
#include "platform/journal_prefix.h"

namespace {
// By the time a face returns, the capture has stopped, every record is written and
// synced (or printed) and the scratch file is gone. The process ends here, without the
// static destructors: the audio back end's threads can crash or hang in them (seen
// with PulseAudio: an assertion in its dispatcher, a sound cache waiting on its loader).
[[noreturn]] void endProcess(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(status);
}
}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    const ravelin::ParseResult parsed = ravelin::parseOptions(arguments);
    if (!parsed.error.empty()) {
        const char* prefix = ravelin::journalPrefix(ravelin::Priority::Error);
        std::fprintf(stderr, "%sravelin: %s\n%sTry 'ravelin --help'.\n", prefix, parsed.error.c_str(), prefix);
        return 2;
    }
    const ravelin::Options& options = parsed.options;
    if (options.help) {
        std::fputs(ravelin::helpText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s\n", ravelin::versionText().c_str());
        return 0;
    }
    if (options.listTubes) {
        std::fputs(ravelin::tubeListText().c_str(), stdout);
        return 0;
    }
    if (options.listInputs) {
        QCoreApplication app(argc, argv);
        for (const auto& input : ravelin::listAudioInputs())
            std::printf("%s\t%s\n", input.id.c_str(), input.description.c_str());
        return 0;
    }
    int status;
    if (options.calibrate && (options.headless || !ravelin::hasDisplay())) {
        QCoreApplication app(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        endProcess(ravelin::runCalibration(options));
    }
    if (options.history) endProcess(ravelin::runHistory(argc, argv, options));
    if (options.headless) {
        QCoreApplication app(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        status = ravelin::runHeadless(options);
        endProcess(status);
    }
    status = ravelin::runGui(argc, argv, options);
    endProcess(status);
}
