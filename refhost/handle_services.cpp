// Memory handles, served both as utility callbacks and as "PF Handle Suite" 1.
#include <string>

#include "serve.h"

namespace refhost {

namespace {

nlohmann::json HandleJson(Host& host, PF_Handle handle) { return host.HandleName(handle); }

// A handle the module passes in must be one the host made and has not disposed.
bool CheckLive(Host& host, PF_Handle handle, const char* call) {
  switch (host.handles.StateOf(handle)) {
    case HandleTable::State::LIVE:
      return true;
    case HandleTable::State::DISPOSED:
      host.ledger.Violation(std::string(call) + " of disposed handle " + host.HandleName(handle));
      return false;
    case HandleTable::State::UNKNOWN:
    default:
      host.ledger.Violation(std::string(call) + " of a handle the host never made");
      return false;
  }
}

PF_Handle NewHandle(A_u_longlong size) {
  return ServeValueCall<PF_Handle>(
      "host_new_handle", nullptr, [&] { return nlohmann::json{{"size", size}}; },
      [&](Host& host) { return host.handles.New(size); }, HandleJson);
}

void* LockHandle(PF_Handle handle) {
  return ServeValueCall<void*>(
      "host_lock_handle", nullptr,
      [&] { return nlohmann::json{{"handle", Host::Current()->HandleName(handle)}}; },
      [&](Host& host) -> void* {
        return CheckLive(host, handle, "host_lock_handle") ? host.handles.Lock(handle) : nullptr;
      },
      [](Host&, void* block) { return block != nullptr ? nlohmann::json("block") : nullptr; });
}

void UnlockHandle(PF_Handle handle) {
  ServeGiveBackCall(
      "host_unlock_handle",
      [&] { return nlohmann::json{{"handle", Host::Current()->HandleName(handle)}}; },
      [&](Host& host) -> PF_Err {
        if (CheckLive(host, handle, "host_unlock_handle")) host.handles.Unlock(handle);
        return PF_Err_NONE;
      });
}

void DisposeHandle(PF_Handle handle) {
  ServeGiveBackCall(
      "host_dispose_handle",
      [&] { return nlohmann::json{{"handle", Host::Current()->HandleName(handle)}}; },
      [&](Host& host) -> PF_Err {
        if (CheckLive(host, handle, "host_dispose_handle")) host.handles.Dispose(handle);
        return PF_Err_NONE;
      });
}

A_u_longlong HandleSize(PF_Handle handle) {
  return ServeValueCall<A_u_longlong>(
      "host_get_handle_size", 0,
      [&] { return nlohmann::json{{"handle", Host::Current()->HandleName(handle)}}; },
      [&](Host& host) -> A_u_longlong {
        return CheckLive(host, handle, "host_get_handle_size") ? host.handles.Size(handle) : 0;
      },
      [](Host&, A_u_longlong size) { return nlohmann::json(size); });
}

const PF_HandleSuite1 HANDLE_SUITE = {NewHandle, LockHandle, UnlockHandle, DisposeHandle,
                                      HandleSize};

}  // namespace

void InstallHandleServices(Host& host) {
  PF_UtilCallbacks& utils = host.Utils();
  utils.host_new_handle = NewHandle;
  utils.host_lock_handle = LockHandle;
  utils.host_unlock_handle = UnlockHandle;
  utils.host_dispose_handle = DisposeHandle;
  utils.get_handle_size = HandleSize;
  host.ServeSuite(kPFHandleSuite, kPFHandleSuiteVersion1, &HANDLE_SUITE);
}

}  // namespace refhost
