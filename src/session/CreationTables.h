#ifndef QJMS_SESSION_CREATIONTABLES_H
#define QJMS_SESSION_CREATIONTABLES_H

#include "api/ProviderCall.h"
#include "session/SessionCore.h"

namespace jms::creation {

// How the provider's refusals of a session's creating calls read. Each table
// gives a run of exceptions one fixed text ("svrStore CltException.ERR_...",
// the provider's reason dropped); the exceptions that mean the provider lost
// the session or connection close the session locally. ResourceException is
// asked again up to three times, one second apart.

/// createReceiver and createBrowser.
const pcall::Table<SessionCore>& queueConsumer();
/// createSender.
const pcall::Table<SessionCore>& queueSender();
/// createSubscriber.
const pcall::Table<SessionCore>& topicSubscriber();
/// createDurableSubscriber: also asks again while the subscription is in use
/// elsewhere (ConsumerException code 18).
const pcall::Table<SessionCore>& durableSubscriber();
/// createPublisher.
const pcall::Table<SessionCore>& topicPublisher();
/// unsubscribe: no retries, and a system exception leaves the session open.
const pcall::Table<SessionCore>& unsubscribe();

}  // namespace jms::creation

#endif
