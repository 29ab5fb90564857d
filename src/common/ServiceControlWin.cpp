#include "ServiceControl.h"

#include <windows.h>

namespace kvzflt {

namespace {

// The manager and one service opened with full access, both closed on every path.
class ServiceHandles {
public:
    explicit ServiceHandles(const std::string& name)
        : manager_(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {
        if (manager_ != nullptr) {
            service_ = OpenServiceA(manager_, name.c_str(), SERVICE_ALL_ACCESS);
        }
    }
    ~ServiceHandles() {
        if (service_ != nullptr) {
            CloseServiceHandle(service_);
        }
        if (manager_ != nullptr) {
            CloseServiceHandle(manager_);
        }
    }
    ServiceHandles(const ServiceHandles&) = delete;
    ServiceHandles& operator=(const ServiceHandles&) = delete;

    SC_HANDLE handle() const { return service_; }

    ServiceState state() const {
        SERVICE_STATUS status{};
        if (service_ == nullptr || !QueryServiceStatus(service_, &status)) {
            return ServiceState::Unavailable;
        }
        return status.dwCurrentState == SERVICE_RUNNING ? ServiceState::Running
                                                        : ServiceState::NotRunning;
    }

private:
    SC_HANDLE manager_;
    SC_HANDLE service_ = nullptr;
};

} // namespace

ServiceState QueryServiceState(const std::string& name) {
    return ServiceHandles(name).state();
}

bool RequestServiceStart(const std::string& name) {
    const ServiceHandles service(name);
    return service.handle() != nullptr && StartServiceA(service.handle(), 0, nullptr) != FALSE;
}

bool RequestServiceStop(const std::string& name) {
    const ServiceHandles service(name);
    SERVICE_STATUS status{};
    return service.handle() != nullptr &&
           ControlService(service.handle(), SERVICE_CONTROL_STOP, &status) != FALSE;
}

} // namespace kvzflt
