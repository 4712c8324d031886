// Posting to a web service with WinHTTP.
#include "common/win32/win32_api.h"
#include "common/win32/win32_platform.h"

#include <winhttp.h>

#include <string>
#include <vector>

namespace common {

namespace {

constexpr std::size_t kMaxReplyBytes = 4 * 1024 * 1024;

// Closes a WinHTTP handle when it goes out of scope.
class Handle {
public:
    explicit Handle(HINTERNET h) : h_(h) {}
    ~Handle() {
        if (h_) WinHttpCloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HINTERNET get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HINTERNET h_;
};

std::wstring Wide(const std::string& ansi) {
    if (ansi.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), &wide[0], n);
    return wide;
}

HttpFailure FailureOf(DWORD error) {
    switch (error) {
    case ERROR_WINHTTP_INVALID_URL:
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
        return HttpFailure::BadAddress;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        return HttpFailure::UnknownHost;
    case ERROR_WINHTTP_CANNOT_CONNECT:
        return HttpFailure::CannotConnect;
    case ERROR_WINHTTP_TIMEOUT:
        return HttpFailure::Timeout;
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
        return HttpFailure::Secure;
    default:
        return HttpFailure::Broken;
    }
}

HttpReply Failed() { return HttpReply{FailureOf(GetLastError()), 0, {}}; }

}  // namespace

HttpReply Win32Platform::PostHttp(const HttpPost& request) {
    const std::wstring url = Wide(request.url);
    URL_COMPONENTS parts;
    ZeroMemory(&parts, sizeof parts);
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (url.empty() || !WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
        return HttpReply{HttpFailure::BadAddress, 0, {}};
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (host.empty()) return HttpReply{HttpFailure::BadAddress, 0, {}};
    if (path.empty()) path = L"/";

    // No proxy: the services Zelko posts to run on this machine or its
    // network, and a proxy would have no way to reach "localhost".
    Handle session(WinHttpOpen(L"Zelko", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return Failed();
    Handle connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection) return Failed();
    const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    Handle call(WinHttpOpenRequest(connection.get(), request.get ? L"GET" : L"POST", path.c_str(),
                                   L"HTTP/1.1",
                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, secure));
    if (!call) return Failed();
    const int connectMs = static_cast<int>(request.connectTimeoutMs);
    const int replyMs = static_cast<int>(request.replyTimeoutMs);
    WinHttpSetTimeouts(call.get(), connectMs, connectMs, replyMs, replyMs);
    // The wait for the reply's headers has a limit of its own, which Wine
    // leaves unlimited.
    DWORD headersMs = request.replyTimeoutMs;
    WinHttpSetOption(call.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersMs,
                     sizeof headersMs);

    std::wstring headers;
    if (!request.contentType.empty()) headers = L"Content-Type: " + Wide(request.contentType);
    for (const std::string& line : request.headers)
        headers += (headers.empty() ? L"" : L"\r\n") + Wide(line);
    const DWORD size = static_cast<DWORD>(request.body.size());
    void* body = size ? const_cast<char*>(request.body.data()) : WINHTTP_NO_REQUEST_DATA;
    const DWORD sent = GetTickCount();
    if (!WinHttpSendRequest(call.get(), headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                            static_cast<DWORD>(headers.size()), body,
                            size, size, 0) ||
        !WinHttpReceiveResponse(call.get(), nullptr)) {
        HttpReply failed = Failed();
        // Wine reports a reply that did not come in time as a broken one.
        if (failed.failure == HttpFailure::Broken && GetTickCount() - sent >= request.replyTimeoutMs)
            failed.failure = HttpFailure::Timeout;
        return failed;
    }

    HttpReply reply;
    DWORD status = 0, statusSize = sizeof status;
    if (!WinHttpQueryHeaders(call.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                             WINHTTP_NO_HEADER_INDEX))
        return Failed();
    reply.status = static_cast<int>(status);
    std::vector<char> chunk(16384);
    for (;;) {
        DWORD read = 0;
        if (!WinHttpReadData(call.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read))
            return Failed();
        if (read == 0) break;
        // A service's answer is small; an endless one is not waited out.
        if (reply.body.size() + read > kMaxReplyBytes) return HttpReply{HttpFailure::Broken, 0, {}};
        reply.body.append(chunk.data(), read);
    }
    return reply;
}

}  // namespace common
