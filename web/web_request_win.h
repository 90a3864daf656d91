// The system's HTTP client: one synchronous request through the platform's COM
// HTTP request object, with the default header block, the cookie exchange with
// the browser's store and the time-outs of WebRequestArgs (web/web_request.h).
//
// Example (the bank download):
//   WebRequestArgs args;
//   args.url = "http://" BANK_HOST "/question";
//   args.timeoutSeconds = -1;
//   ByteArray bank = webRequest(args);  // empty: the download failed
//
// Tested by tests/web/web_request_wire_test.py (real object, loopback server).
#pragma once

#include <memory>

#include "app/text.h"
#include "web/web_request.h"

// Runs one request on the calling thread and returns the response body (empty
// when the server could not be reached or sent none). COM is initialised for
// the call and released before it returns; the object lives only inside it.
// When no HTTP object can be created, the record is left unchanged.
ByteArray webRequest(WebRequestArgs& args);

// The platform's HTTP request object, driven by member name: the first of
// "WinHttp.WinHttpRequest.5.1", "MSXML2.ServerXMLHTTP.6.0" and
// "MSXML2.ServerXMLHTTP.5.0" that can be created; null when none can. COM
// must be initialised on the calling thread while it lives.
std::unique_ptr<HttpRequestObject> createHttpRequestObject();
