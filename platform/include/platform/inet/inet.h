// The internet layer: sessions, connections and HTTP requests with pull-style reads, as the
// download stack expects them (handles opened per request, headers added one line at a time,
// status and headers queried after the send, the body read in caller-sized chunks).
//
// Every request is bounded: a connect time-out, a receive time-out (no byte for that long ends
// the transfer) and an optional deadline for the whole request. A transfer is never killed from
// outside; a time-out makes the pending call fail with ERROR_INTERNET_TIMEOUT.
//
// A body cut short by the peer ends like a complete one (the read gives 0 bytes); callers compare
// what they got with the announced Content-Length.
#pragma once

#include "platform/base/wintypes.h"

using HINTERNET = void*;
using INTERNET_PORT = WORD;

// InternetOpenA access types.
#define INTERNET_OPEN_TYPE_PRECONFIG 0
#define INTERNET_OPEN_TYPE_DIRECT 1
#define INTERNET_OPEN_TYPE_PROXY 3

#define INTERNET_SERVICE_HTTP 3
#define INTERNET_DEFAULT_HTTP_PORT 80
#define INTERNET_DEFAULT_HTTPS_PORT 443

// Request flags.
#define INTERNET_FLAG_RELOAD 0x80000000u
#define INTERNET_FLAG_NO_CACHE_WRITE 0x04000000u
#define INTERNET_FLAG_SECURE 0x00800000u
#define INTERNET_FLAG_KEEP_CONNECTION 0x00400000u
#define INTERNET_FLAG_NO_AUTO_REDIRECT 0x00200000u
#define INTERNET_FLAG_PRAGMA_NOCACHE 0x00000100u
#define INTERNET_FLAG_FORMS_SUBMIT 0x00000040u

// Options (InternetSetOptionA). Time-outs are DWORD milliseconds.
#define INTERNET_OPTION_CONNECT_TIMEOUT 2
#define INTERNET_OPTION_SEND_TIMEOUT 5
#define INTERNET_OPTION_RECEIVE_TIMEOUT 6
#define INTERNET_OPTION_PROXY_USERNAME 43
#define INTERNET_OPTION_PROXY_PASSWORD 44
// Our own: milliseconds from the send to the last byte of the body (0 = no deadline).
#define INTERNET_OPTION_REQUEST_DEADLINE 0x10001

// HttpAddRequestHeadersA modifiers.
#define HTTP_ADDREQ_FLAG_ADD_IF_NEW 0x10000000u
#define HTTP_ADDREQ_FLAG_ADD 0x20000000u
#define HTTP_ADDREQ_FLAG_REPLACE 0x80000000u

// HttpQueryInfoA levels and modifiers.
#define HTTP_QUERY_CONTENT_TYPE 1
#define HTTP_QUERY_CONTENT_LENGTH 5
#define HTTP_QUERY_LOCATION 33
#define HTTP_QUERY_STATUS_CODE 19
#define HTTP_QUERY_STATUS_TEXT 20
#define HTTP_QUERY_RAW_HEADERS_CRLF 22
#define HTTP_QUERY_CONTENT_RANGE 68
#define HTTP_QUERY_FLAG_NUMBER64 0x08000000u
#define HTTP_QUERY_FLAG_NUMBER 0x20000000u

// Error codes of the layer (GetLastError after a failed call).
#define ERROR_INTERNET_TIMEOUT 12002L
#define ERROR_INTERNET_EXTENDED_ERROR 12003L
#define ERROR_INTERNET_INTERNAL_ERROR 12004L
#define ERROR_INTERNET_INVALID_URL 12005L
#define ERROR_INTERNET_NAME_NOT_RESOLVED 12007L
#define ERROR_INTERNET_BAD_OPTION_LENGTH 12010L
#define ERROR_INTERNET_INCORRECT_HANDLE_TYPE 12018L
#define ERROR_INTERNET_CANNOT_CONNECT 12029L
#define ERROR_INTERNET_CONNECTION_ABORTED 12030L
#define ERROR_INTERNET_CONNECTION_RESET 12031L
#define ERROR_INTERNET_FORCE_RETRY 12032L
#define ERROR_INTERNET_INVALID_PROXY_REQUEST 12033L
#define ERROR_HTTP_HEADER_NOT_FOUND 12150L
#define ERROR_HTTP_INVALID_SERVER_RESPONSE 12152L
#define ERROR_HTTP_INVALID_HEADER 12153L
#define ERROR_HTTP_HEADER_ALREADY_EXISTS 12155L
#define ERROR_INTERNET_SECURITY_CHANNEL_ERROR 12157L
#define ERROR_HTTP_REDIRECT_FAILED 12156L

// A session. `proxy` (type PROXY only) is a list of "[scheme=][scheme://]host[:port]" entries
// separated by spaces or semicolons; "socks=host:port" names a SOCKS proxy used for every scheme
// without an entry of its own. PRECONFIG follows the user's proxy environment (http_proxy,
// https_proxy, all_proxy, no_proxy); DIRECT ignores it.
HINTERNET InternetOpenA(LPCSTR agent, DWORD accessType, LPCSTR proxy, LPCSTR proxyBypass, DWORD flags);
HINTERNET InternetConnectA(HINTERNET session, LPCSTR server, INTERNET_PORT port, LPCSTR user,
                           LPCSTR password, DWORD service, DWORD flags, DWORD_PTR context);
BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length);
DWORD InternetAttemptConnect(DWORD reserved);
// `version` "HTTP/1.0" sends HTTP/1.0 requests; anything else HTTP/1.1.
HINTERNET HttpOpenRequestA(HINTERNET connection, LPCSTR verb, LPCSTR object, LPCSTR version,
                           LPCSTR referer, LPCSTR* acceptTypes, DWORD flags, DWORD_PTR context);
// `length` (DWORD)-1 means NUL-terminated; several CRLF-separated lines may be given at once.
BOOL HttpAddRequestHeadersA(HINTERNET request, LPCSTR headers, DWORD length, DWORD modifiers);
// Returns once the final reply's headers have arrived (redirects are followed unless the request
// has INTERNET_FLAG_NO_AUTO_REDIRECT). Any status counts as a successful send.
BOOL HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength);
// Text levels fill `buffer` with a NUL-terminated value and give its length without the NUL;
// ERROR_INSUFFICIENT_BUFFER gives the needed size in *bufferLength. With HTTP_QUERY_FLAG_NUMBER
// the buffer receives a DWORD, with HTTP_QUERY_FLAG_NUMBER64 a 64-bit value.
BOOL HttpQueryInfoA(HINTERNET request, DWORD infoLevel, LPVOID buffer, DWORD* bufferLength, DWORD* index);
// Up to `toRead` bytes of the body; *read == 0 with TRUE at its end.
BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD toRead, DWORD* read);
BOOL InternetCloseHandle(HINTERNET handle);
