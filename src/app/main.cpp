#include <QCoreApplication>
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "app/gui.h"
#include "app/headless.h"
#include "app/options.h"
#include "platform/capture_sources.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv, argv + argc);
    const ravelin::ParseResult parsed = ravelin::parseOptions(arguments);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "ravelin: %s\nTry 'ravelin --help'.\n", parsed.error.c_str());
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
    if (options.listInputs) {
        QCoreApplication app(argc, argv);
        for (const auto& input : ravelin::listAudioInputs())
            std::printf("%s\t%s\n", input.id.c_str(), input.description.c_str());
        return 0;
    }
    if (options.headless) {
        QCoreApplication app(argc, argv);
        std::setlocale(LC_NUMERIC, "C");
        return ravelin::runHeadless(options);
    }
    return ravelin::runGui(argc, argv, options);
}
