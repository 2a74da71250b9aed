// Where there is no NetworkManager (Windows): the list stays empty and nothing is followed.

#include "platform/network_manager.h"

namespace zephra::platform {

class TNetworkManagerWatch::TImpl {
 public:
  std::vector<TNmActiveConnection> connections;
};

TNetworkManagerWatch::TNetworkManagerWatch(ChangeFn, std::chrono::milliseconds, QObject* parent)
    : QObject(parent), impl_(std::make_unique<TImpl>()) {}

TNetworkManagerWatch::~TNetworkManagerWatch() = default;

void TNetworkManagerWatch::Start() {}

bool TNetworkManagerWatch::HasRead() const { return true; }

const std::vector<TNmActiveConnection>& TNetworkManagerWatch::Connections() const {
  return impl_->connections;
}

}  // namespace zephra::platform
