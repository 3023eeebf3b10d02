// Builds against the installed headers and library only.
#include <jms/JMSException.h>

int main() {
    try {
        throw jms::MessageFormatException(u"bad", u"CODE");
    } catch (const jms::JMSException& e) {
        return e.toString() == u"badCODE" ? 0 : 1;
    }
    return 1;
}
