// Builds against the installed headers and library only, and calls into it.
#include <jms/jms.h>

int main() {
    jms::ImplDepFactory entry(u"/nonexistent/provider.ior", u"vol", true, u"", 4, 0);
    try {
        delete entry.createQueueConnectionFactory();
    } catch (const jms::JMSException& e) {
        return e.getMessage() == u"Cannot open: /nonexistent/provider.ior" ? 0 : 1;
    }
    return 1;
}
