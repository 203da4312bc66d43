#include "update_config.h"

#include "update_deployment.h"

namespace ostrel {

SUpdateConfig DeploymentUpdateConfig() {
    SUpdateConfig config;
    config.m_strServer = OSTREL_DEPLOY_UPDATE_SERVER;
    config.m_strUser = OSTREL_DEPLOY_UPDATE_USER;
    config.m_strPassword = OSTREL_DEPLOY_UPDATE_PASSWORD;
    config.m_strSignerPins = OSTREL_DEPLOY_SIGNER_PINS;
    return config;
}

} // namespace ostrel
