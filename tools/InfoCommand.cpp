#include <cstdio>
#include <memory>

#include <nlohmann/json.hpp>

#include "Commands.h"
#include "Status.h"
#include "Text.h"

namespace qjms::cli {

int runInfo(const ConnectionOptions& connectionOptions, bool json) {
    auto connection = openQueueConnection(resolve(connectionOptions));
    std::unique_ptr<jms::ConnectionMetaData> md(connection->getMetaData());
    const std::string provider = toUtf8(md->getJMSProviderName());
    const std::string version = toUtf8(md->getProviderVersion());
    const std::string jmsVersion = toUtf8(md->getJMSVersion());
    const std::string clientId = toUtf8(connection->getClientID());
    connection.close();
    if (json) {
        const nlohmann::ordered_json info = {{"provider", provider},
                                             {"providerVersion", version},
                                             {"jmsVersion", jmsVersion},
                                             {"clientId", clientId}};
        std::printf("%s\n", info.dump().c_str());
    } else {
        std::printf("provider           %s %s\nJMS version        %s\nclient identifier  %s\n",
                    provider.c_str(), version.c_str(), jmsVersion.c_str(),
                    clientId.empty() ? "(none)" : clientId.c_str());
    }
    return kDone;
}

}  // namespace qjms::cli
