// qjms: the command-line tool. Maps what the commands throw onto exit
// statuses and messages on standard error.
#include <cstdio>

#include <jms/jms.h>

#include "CommandLine.h"
#include "Interrupt.h"
#include "Status.h"
#include "Text.h"

int main(int argc, char** argv) {
    using namespace qjms::cli;
    catchInterrupts();
    try {
        return runCommandLine(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "qjms: %s\n", e.what());
        return kBadUsage;
    } catch (const jms::JMSException& e) {
        const std::string code = toUtf8(e.getErrorCode());
        std::fprintf(stderr, "qjms: %s%s%s\n", toUtf8(e.getMessage()).c_str(),
                     code.empty() ? "" : " (error code ", code.empty() ? "" : (code + ")").c_str());
        return kJmsFailure;
    } catch (const OutputClosed&) {
        return kOutputClosed;
    } catch (const Interrupted&) {
        std::fprintf(stderr, "qjms: interrupted\n");
        return kInterrupted;
    }
}
