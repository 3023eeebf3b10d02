#ifndef JMS_EXPORT_H
#define JMS_EXPORT_H

// Marks the classes and constants that the shared library exports; everything
// else is built with hidden visibility.
#define JMS_API __attribute__((visibility("default")))

#endif
