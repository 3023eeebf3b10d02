// Writes a few well-formed encoded messages as a starting corpus for receive_fuzz.
#include <cstdio>
#include <string>

#include "FuzzWire.h"
#include "destination/QuorixQueue.h"
#include "destination/QuorixTopic.h"
#include "message/CltBytesMessage.h"
#include "message/CltHeaderMessage.h"
#include "message/CltTextMessage.h"

namespace {

void write(const std::string& dir, const char* name, jms::CltMessage& m) {
    jms::wire::JMSMsg wire;
    m.getJMSMsg(wire);
    cdrMemoryStream stream;
    wire >>= stream;
    const std::string path = dir + "/" + name;
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(stream.bufPtr(), 1, stream.bufSize(), f);
        std::fclose(f);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
        return 2;
    }
    initBroker();
    const std::string dir = argv[1];
    jms::QuorixQueue replyTo(u"name=R,driver=mq,queue=LQ,manager=QM", true);
    jms::QuorixTopic topic(u"T", false);

    jms::CltTextMessage text(jms::WString(u"hello"));
    text.setJMSMessageID(u"ID:1");
    text.setJMSReplyTo(&replyTo);
    text.setStringProperty(u"s", u"v");
    text.setIntProperty(u"i", 7);
    write(dir, "text", text);

    jms::CltBytesMessage bytes;
    bytes.writeBytes(jms::ByteArray{1, 2, 3, 4});
    bytes.setJMSReplyTo(&topic);
    bytes.setDoubleProperty(u"d", 1.5);
    bytes.setBooleanProperty(u"b", true);
    write(dir, "bytes", bytes);

    jms::CltHeaderMessage header;
    header.setJMSCorrelationID(u"c");
    header.setJMSType(u"t");
    header.setLongProperty(u"l", -1);
    header.setByteProperty(u"y", 3);
    header.setShortProperty(u"h", 4);
    header.setFloatProperty(u"f", 2.5f);
    write(dir, "header", header);
    return 0;
}
