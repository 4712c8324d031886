// Requests to another program's DDE server through one DDEML client instance.
#include "common/win32/win32_api.h"
#include <ddeml.h>

#include <algorithm>
#include <cstring>

#include "common/win32/platform_support.h"
#include "common/win32/win32_platform.h"

namespace common {
namespace {

// One DDEML client instance for the whole process, made on first use.
HDDEDATA CALLBACK DdeClientCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

class DdeClient {
public:
    DWORD Instance() {
        if (!tried_) {
            tried_ = true;
            if (DdeInitializeA(&instance_, DdeClientCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
                instance_ = 0;
        }
        return instance_;
    }
    ~DdeClient() {
        if (instance_ != 0) DdeUninitialize(instance_);
    }

private:
    DWORD instance_ = 0;
    bool tried_ = false;
};

DdeClient& Dde() {
    static DdeClient client;
    return client;
}

class StringHandle {
public:
    StringHandle(DWORD instance, const std::string& text)
        : instance_(instance), handle_(DdeCreateStringHandleA(instance, text.c_str(), CP_WINANSI)) {}
    ~StringHandle() {
        if (handle_) DdeFreeStringHandle(instance_, handle_);
    }
    StringHandle(const StringHandle&) = delete;
    StringHandle& operator=(const StringHandle&) = delete;
    HSZ get() const { return handle_; }

private:
    DWORD instance_;
    HSZ handle_;
};

}  // namespace

DdeConversation Win32Platform::DdeConnect(const std::string& service, const std::string& topic) {
    DWORD instance = Dde().Instance();
    if (instance == 0) return 0;
    StringHandle serviceName(instance, service), topicName(instance, topic);
    if (!serviceName.get() || !topicName.get()) return 0;
    HCONV conversation = ::DdeConnect(instance, serviceName.get(), topicName.get(), nullptr);
    return reinterpret_cast<DdeConversation>(conversation);
}

std::optional<std::string> Win32Platform::DdeRequest(DdeConversation conversation,
                                                     const std::string& item,
                                                     std::uint32_t timeoutMs) {
    DWORD instance = Dde().Instance();
    if (instance == 0 || conversation == 0) return std::nullopt;
    StringHandle itemName(instance, item);
    if (!itemName.get()) return std::nullopt;
    HDDEDATA data = DdeClientTransaction(nullptr, 0, reinterpret_cast<HCONV>(conversation),
                                         itemName.get(), CF_TEXT, XTYP_REQUEST, timeoutMs, nullptr);
    if (!data) return std::nullopt;
    std::string text;
    DWORD size = DdeGetData(data, nullptr, 0, 0);
    if (size > 0) {
        text.assign(size, '\0');
        DWORD got = DdeGetData(data, reinterpret_cast<BYTE*>(&text[0]), size, 0);
        text.resize(std::min<DWORD>(got, size));
        text.resize(std::strlen(text.c_str()));  // CF_TEXT ends at its zero
    }
    DdeFreeDataHandle(data);
    return text;
}

void Win32Platform::DdeDisconnect(DdeConversation conversation) {
    if (conversation != 0) ::DdeDisconnect(reinterpret_cast<HCONV>(conversation));
}

}  // namespace common
