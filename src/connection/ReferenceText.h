#ifndef QJMS_CONNECTION_REFERENCETEXT_H
#define QJMS_CONNECTION_REFERENCETEXT_H

#include <string>

#include <jms/Types.h>

namespace jms {

/// The 8-bit form of a file name or reference text: UTF-8, so that a name
/// outside ASCII opens the file it names (keeping only each unit's low byte
/// would open another one). ASCII text is unchanged. A lone surrogate is
/// encoded as its own three bytes, so distinct names stay distinct.
std::string toNarrowText(const WString& text);

/// The first whitespace-delimited word of the file, whatever its length.
/// Throws JMSException "Cannot open: " + name when the file cannot be opened
/// (or the name cannot be a file name), "Cannot read: " + name when the file
/// holds no word.
std::string readReferenceFile(const WString& referenceFile);

}  // namespace jms

#endif
