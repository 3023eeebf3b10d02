#ifndef QJMS_FUZZ_FUZZWIRE_H
#define QJMS_FUZZ_FUZZWIRE_H

#include <omniORB4/CORBA.h>

// Wide strings in CDR need the broker's code sets, which ORB_init installs.
inline void initBroker() {
    static CORBA::ORB_var orb = [] {
        int argc = 0;
        return CORBA::ORB_init(argc, nullptr);
    }();
}

#endif
