// Posting to a web service with WinHTTP, asynchronously: the one thread
// waits for each step, and where the caller asks for it keeps the program's
// windows alive and offers Cancel in a small window while it waits.
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

HttpReply Failed(DWORD error) { return HttpReply{FailureOf(error), 0, {}, false}; }

// What WinHTTP's own thread reports of the step in progress. It lives on the
// heap until WinHTTP says the request's handle is closing, as its thread may
// still report after the wait has given up.
struct Exchange {
    HANDLE stepDone = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE closed = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD status = 0;  // the report that ended the step
    DWORD error = 0;   // with WINHTTP_CALLBACK_STATUS_REQUEST_ERROR
    DWORD bytes = 0;   // with WINHTTP_CALLBACK_STATUS_READ_COMPLETE
    // The request went out; Wine reports the send step complete only with
    // the reply, so this is told on its own.
    volatile LONG requestSent = 0;
    ~Exchange() {
        if (stepDone) CloseHandle(stepDone);
        if (closed) CloseHandle(closed);
    }
};

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) {
    Exchange* x = reinterpret_cast<Exchange*>(context);
    if (!x) return;  // the session's and connection's own reports
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
        SetEvent(x->closed);
        return;
    case WINHTTP_CALLBACK_STATUS_REQUEST_SENT:
        InterlockedExchange(&x->requestSent, 1);
        return;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        x->error = static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError;
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        x->bytes = length;
        break;
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        break;
    default:
        return;
    }
    x->status = status;
    SetEvent(x->stepDone);
}

INT_PTR CALLBACK WaitWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        return TRUE;
    }
    if ((message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) || message == WM_CLOSE) {
        *reinterpret_cast<bool*>(GetWindowLongPtrA(window, DWLP_USER)) = true;
        return TRUE;
    }
    return FALSE;
}

// The in-memory dialog: the text and a Cancel button, in dialog units.
std::vector<WORD> WaitWindowTemplate(const std::string& text) {
    std::vector<WORD> t;
    auto dword = [&](DWORD v) { t.push_back(LOWORD(v)), t.push_back(HIWORD(v)); };
    auto wide = [&](const std::wstring& w) {
        t.insert(t.end(), w.begin(), w.end());
        t.push_back(0);
    };
    auto align = [&] { if (t.size() % 2) t.push_back(0); };
    dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT);
    dword(WS_EX_TOPMOST);
    t.push_back(2);  // items
    for (WORD v : {0, 0, 230, 66}) t.push_back(v);
    t.push_back(0), t.push_back(0);  // no menu, the dialog class
    wide(L"Zelko");
    t.push_back(8);
    wide(L"MS Shell Dlg");
    struct Item { DWORD style; WORD x, y, cx, cy, id, kind; std::wstring text; };
    const Item items[] = {
        {WS_CHILD | WS_VISIBLE | SS_LEFT, 7, 7, 216, 34, 0xFFFF, 0x0082, Wide(text)},
        {WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 173, 45, 50, 14, IDCANCEL, 0x0080,
         L"Cancel"},
    };
    for (const Item& item : items) {
        align();
        dword(item.style);
        dword(0);
        for (WORD v : {item.x, item.y, item.cx, item.cy, item.id}) t.push_back(v);
        t.push_back(0xFFFF), t.push_back(item.kind);
        wide(item.text);
        t.push_back(0);  // no creation data
    }
    return t;
}

enum class Waited { Done, TimedOut, Cancelled };

// Waits for the step WinHTTP is taking. Without a wait text, within the limit
// (WinHTTP's own time-outs end a step sooner). With one, as long as it takes,
// handling this thread's messages, with the window shown after its delay.
class StepWaiter {
public:
    StepWaiter(const HttpPost& request, Exchange& x)
        : request_(request), x_(x), start_(GetTickCount()) {}
    ~StepWaiter() {
        if (window_) DestroyWindow(window_);
    }
    Waited Wait(DWORD limitMs) {
        if (request_.waitText.empty())
            return WaitForSingleObject(x_.stepDone, limitMs) == WAIT_OBJECT_0 ? Waited::Done
                                                                              : Waited::TimedOut;
        for (;;) {
            if (MsgWaitForMultipleObjects(1, &x_.stepDone, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0)
                return Waited::Done;
            MSG m;
            while (!cancelled_ && PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
                if (m.message == WM_QUIT) {  // for the caller's own loop
                    PostQuitMessage(static_cast<int>(m.wParam));
                    cancelled_ = true;
                    break;
                }
                if (window_ && IsDialogMessageA(window_, &m)) continue;
                TranslateMessage(&m);
                DispatchMessageA(&m);
            }
            if (cancelled_) return Waited::Cancelled;
            if (!window_ && GetTickCount() - start_ >= request_.waitWindowMs) Show();
        }
    }

private:
    void Show() {
        const std::vector<WORD> t = WaitWindowTemplate(request_.waitText);
        window_ = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEA>(t.data()), nullptr,
                                             WaitWindowProc, reinterpret_cast<LPARAM>(&cancelled_));
        if (window_) ShowWindow(window_, SW_SHOW);
    }
    const HttpPost& request_;
    Exchange& x_;
    DWORD start_;
    HWND window_ = nullptr;
    bool cancelled_ = false;
};

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
        return HttpReply{HttpFailure::BadAddress, 0, {}, false};
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (host.empty()) return HttpReply{HttpFailure::BadAddress, 0, {}, false};
    if (path.empty()) path = L"/";

    // No proxy: the services Zelko posts to run on this machine or its
    // network, and a proxy would have no way to reach "localhost".
    Handle session(WinHttpOpen(L"Zelko", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC));
    if (!session) return Failed(GetLastError());
    if (WinHttpSetStatusCallback(session.get(), OnStatus,
                                 WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES |
                                     WINHTTP_CALLBACK_FLAG_SEND_REQUEST,
                                 0) == WINHTTP_INVALID_STATUS_CALLBACK)
        return Failed(GetLastError());
    Handle connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection) return Failed(GetLastError());
    const DWORD secure = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    HINTERNET call = WinHttpOpenRequest(connection.get(), request.get ? L"GET" : L"POST",
                                        path.c_str(), L"HTTP/1.1", WINHTTP_NO_REFERER,
                                        WINHTTP_DEFAULT_ACCEPT_TYPES, secure);
    if (!call) return Failed(GetLastError());
    Exchange* x = new Exchange;
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(x);
    WinHttpSetOption(call, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context);

    const bool waitsForUser = !request.waitText.empty();
    const int connectMs = static_cast<int>(request.connectTimeoutMs);
    // Unlimited (-1) where the user decides how long, and where no limit is given.
    const int replyMs = waitsForUser || request.replyTimeoutMs == 0
                            ? -1 : static_cast<int>(request.replyTimeoutMs);
    WinHttpSetTimeouts(call, connectMs, connectMs, replyMs, replyMs);
    // The wait for the reply's headers has a limit of its own, which Wine
    // leaves unlimited.
    DWORD headersMs = static_cast<DWORD>(replyMs);
    WinHttpSetOption(call, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headersMs, sizeof headersMs);
    // A step of ours outlasts WinHTTP's own limits only if WinHTTP fails to
    // keep them.
    const DWORD stepMs = replyMs < 0 ? INFINITE : request.connectTimeoutMs + 2 * request.replyTimeoutMs + 5000;

    std::wstring headers;
    if (!request.contentType.empty()) headers = L"Content-Type: " + Wide(request.contentType);
    for (const std::string& line : request.headers)
        headers += (headers.empty() ? L"" : L"\r\n") + Wide(line);
    const DWORD size = static_cast<DWORD>(request.body.size());
    void* body = size ? const_cast<char*>(request.body.data()) : WINHTTP_NO_REQUEST_DATA;

    HttpReply reply;
    StepWaiter waiter(request, *x);
    const DWORD sentAt = GetTickCount();
    // One step: started, then waited for; false with reply set on a failure.
    auto step = [&](BOOL started, DWORD expected) {
        if (!started) {
            reply = Failed(GetLastError());
        } else {
            switch (waiter.Wait(stepMs)) {
            case Waited::Cancelled: reply = HttpReply{HttpFailure::Cancelled, 0, {}, false}; break;
            case Waited::TimedOut: reply = HttpReply{HttpFailure::Timeout, 0, {}, false}; break;
            case Waited::Done:
                if (x->status == expected) return true;
                reply = Failed(x->error);
                // Wine reports a reply that did not come in time as a broken one.
                if (reply.failure == HttpFailure::Broken && replyMs >= 0 &&
                    GetTickCount() - sentAt >= request.replyTimeoutMs)
                    reply.failure = HttpFailure::Timeout;
                break;
            }
        }
        return false;
    };
    bool ok = step(WinHttpSendRequest(call,
                                      headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                                      static_cast<DWORD>(headers.size()), body, size, size, context),
                   WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE);
    const bool sent = ok;
    ok = ok && step(WinHttpReceiveResponse(call, nullptr), WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE);
    if (ok) {
        DWORD status = 0, statusSize = sizeof status;
        if (WinHttpQueryHeaders(call, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize,
                                WINHTTP_NO_HEADER_INDEX)) {
            reply.status = static_cast<int>(status);
        } else {
            reply = Failed(GetLastError());
            ok = false;
        }
    }
    std::vector<char> chunk(16384);
    while (ok) {
        ok = step(WinHttpReadData(call, chunk.data(), static_cast<DWORD>(chunk.size()), nullptr),
                  WINHTTP_CALLBACK_STATUS_READ_COMPLETE);
        if (!ok || x->bytes == 0) break;
        // A service's answer is small; an endless one is not waited out.
        if (reply.body.size() + x->bytes > kMaxReplyBytes) {
            reply = HttpReply{HttpFailure::Broken, 0, {}, false};
            ok = false;
            break;
        }
        reply.body.append(chunk.data(), x->bytes);
    }
    if (reply.failure != HttpFailure::None)
        reply.sent = sent || InterlockedCompareExchange(&x->requestSent, 0, 0) != 0;

    WinHttpCloseHandle(call);
    // WinHTTP's thread may still report on the request until it says the
    // handle is closing; only then can the exchange go.
    if (WaitForSingleObject(x->closed, 10000) == WAIT_OBJECT_0) delete x;
    return reply;
}

}  // namespace common
