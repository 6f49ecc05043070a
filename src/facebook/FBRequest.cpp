#include "facebook/FBRequest.h"

#include <variant>

#include "json/SBJSON.h"
#include "platform/Log.h"
#include "platform/Platform.h"
#include "platform/Url.h"
#include "value/PercentCoding.h"
#include "value/Utf8.h"

namespace tumbla {

namespace {

bool isFile(const FBParams::Value& value) {
  return !std::holds_alternative<std::string>(value);
}

// The bytes a value puts into a body; a file without bytes puts none.
std::string_view bytesOf(const FBParams::Value& value) {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  const auto& shared = std::holds_alternative<FBParams::Image>(value)
                           ? std::get<FBParams::Image>(value).png
                           : std::get<FBParams::Data>(value).bytes;
  return shared ? std::string_view(*shared) : std::string_view();
}

}  // namespace

std::shared_ptr<FBRequest> FBRequest::getRequestWithParams(std::shared_ptr<FBParams> params,
                                                           std::string httpMethod,
                                                           FBRequestDelegate* delegate,
                                                           std::string requestURL) {
  return std::make_shared<FBRequest>(Making{}, std::move(params), std::move(httpMethod), delegate,
                                     std::move(requestURL));
}

FBRequest::FBRequest(Making, std::shared_ptr<FBParams> params, std::string httpMethod,
                     FBRequestDelegate* delegate, std::string requestURL)
    : delegate_(delegate),
      url_(std::move(requestURL)),
      httpMethod_(std::move(httpMethod)),
      params_(params ? std::move(params) : std::make_shared<FBParams>()) {}

FBRequest::~FBRequest() {
  connection_.cancel();
}

std::string FBRequest::generateGetURL() const {
  std::optional<Url> parsed = Url::parse(url_);
  std::string_view joiner = parsed && parsed->query() ? "&" : "?";
  std::string pairs;
  for (const auto& [key, value] : *params_) {
    if (isFile(value)) {
      if (httpMethod_ == "GET") logLine("can not use GET to upload a file");
      continue;
    }
    if (!pairs.empty()) pairs.push_back('&');
    pairs.append(key);
    pairs.push_back('=');
    pairs.append(percentEncodeComponent(std::get<std::string>(value)));
  }
  std::string result = url_;
  result.append(joiner);
  result.append(pairs);
  return result;
}

void FBRequest::connect() {
  if (delegateResponds(FBRequestDelegate::Optional::Loading)) delegate_->requestLoading(*this);
  // The exchange holds the request, not the other way round: whoever made it may let go,
  // and the request lives until the loader is through with the exchange (answered,
  // failed, cancelled, or ended with the platform).
  std::shared_ptr<FBRequest> self = shared_from_this();
  UrlConnectionHandlers handlers;
  handlers.didReceiveResponse = [self](const UrlResponse& response) {
    self->connectionDidReceiveResponse(response);
  };
  handlers.didReceiveData = [self](std::string_view data) { self->connectionDidReceiveData(data); };
  handlers.didFinishLoading = [self] { self->connectionDidFinishLoading(); };
  handlers.didFail = [self](const Error& error) { self->connectionDidFailWithError(error); };
  connection_ = Platform::shared().urlLoader().start(wireRequest(), std::move(handlers));
}

void FBRequest::utfAppendBody(std::string& body, std::string_view text) {
  body.append(text);
}

std::string FBRequest::generatePostBody() const {
  const std::string delimiter = "\r\n--" + std::string(kBoundary) + "\r\n";
  // Sized once, so that appending a large image never moves what is there.
  std::size_t size = 2 + kBoundary.size() + 2;
  for (const FBParams::Entry& entry : *params_) {
    size += entry.first.size() + 64 + delimiter.size() + bytesOf(entry.second).size();
  }
  std::string body;
  body.reserve(size);
  utfAppendBody(body, "--" + std::string(kBoundary) + "\r\n");

  std::vector<const FBParams::Entry*> files;
  for (const FBParams::Entry& entry : *params_) {
    if (isFile(entry.second)) {
      files.push_back(&entry);
      continue;
    }
    utfAppendBody(body, "Content-Disposition: form-data; name=\"" + entry.first + "\"\r\n\r\n");
    utfAppendBody(body, bytesOf(entry.second));
    utfAppendBody(body, delimiter);
  }

  for (const FBParams::Entry* file : files) {
    utfAppendBody(body, "Content-Disposition: form-data; filename=\"" + file->first + "\"\r\n");
    utfAppendBody(body, std::holds_alternative<FBParams::Image>(file->second)
                            ? "Content-Type: image/png\r\n\r\n"
                            : "Content-Type: content/unknown\r\n\r\n");
    utfAppendBody(body, bytesOf(file->second));
    utfAppendBody(body, delimiter);
  }
  return body;
}

UrlRequest FBRequest::wireRequest() const {
  UrlRequest wire;
  wire.url = generateGetURL();
  wire.method = httpMethod_;
  wire.headers.emplace_back("User-Agent", kUserAgent);
  if (httpMethod_ == "POST") {
    wire.headers.emplace_back("Content-Type",
                              "multipart/form-data; boundary=" + std::string(kBoundary));
    wire.body = generatePostBody();
  }
  wire.timeoutSeconds = kTimeoutSeconds;
  wire.maxBodyBytes = kMaxResponseBytes;
  return wire;
}

Error FBRequest::formError(long code, Dictionary userInfo) {
  Error error;
  error.domain = kErrorDomain;
  error.code = code;
  if (const Value* message = userInfo.find("error_msg")) {
    if (auto text = message->stringIf()) error.localizedDescription = *text;
  }
  error.userInfo = std::move(userInfo);
  return error;
}

std::optional<Value> FBRequest::parseJsonResponse(std::string_view data,
                                                  std::optional<Error>& error) {
  if (!isValidUtf8(data)) return std::nullopt;
  if (data == "true") return Value(Dictionary{{"result", "true"}});
  if (data == "false") {
    error = formError(kGeneralErrorCode,
                      Dictionary{{"error_msg", "This operation can not be completed"}});
    return std::nullopt;
  }

  SBJSON json;
  std::optional<Value> result = json.objectWithString(data);
  if (!result) return std::nullopt;
  const Dictionary* dictionary = result->dictionaryIf();
  if (dictionary == nullptr) return result;

  if (dictionary->contains("error")) {
    error = formError(kGeneralErrorCode, *dictionary);
    return std::nullopt;
  }
  if (const Value* code = dictionary->find("error_code")) {
    error = formError(static_cast<long>(code->toInteger().value_or(0)), *dictionary);
    return std::nullopt;
  }
  if (dictionary->contains("error_msg") || dictionary->contains("error_reason")) {
    error = formError(kGeneralErrorCode, *dictionary);
  }
  return result;
}

std::string FBRequest::withoutAccessToken(std::string_view text) {
  constexpr std::string_view needle = "access_token=";
  std::string result;
  std::size_t from = 0;
  for (std::size_t found; (found = text.find(needle, from)) != std::string_view::npos;) {
    std::size_t valueStart = found + needle.size();
    std::size_t valueEnd = text.find_first_of("&# \t\r\n\"'", valueStart);
    if (valueEnd == std::string_view::npos) valueEnd = text.size();
    result.append(text.substr(from, valueStart - from));
    result.append("(token)");
    from = valueEnd;
  }
  result.append(text.substr(from));
  return result;
}

void FBRequest::failWithError(const Error& error) {
  if (delegateResponds(FBRequestDelegate::Optional::DidFail)) {
    delegate_->requestDidFailWithError(*this, error);
  }
}

void FBRequest::handleResponseData(const std::string& data) {
  using Optional = FBRequestDelegate::Optional;
  if (delegateResponds(Optional::DidLoadRawResponse)) {
    delegate_->requestDidLoadRawResponse(*this, data);
  }
  if (!delegateResponds(Optional::DidLoad) && !delegateResponds(Optional::DidFail)) return;

  std::optional<Error> error;
  std::optional<Value> result = parseJsonResponse(data, error);
  if (error) {
    failWithError(*error);
  } else if (delegateResponds(Optional::DidLoad)) {
    delegate_->requestDidLoad(*this, result ? *result : Value::data(data));
  }
}

void FBRequest::connectionDidReceiveResponse(const UrlResponse& response) {
  responseText_.emplace();
  statusCode_ = response.statusCode;
  if (delegateResponds(FBRequestDelegate::Optional::DidReceiveResponse)) {
    delegate_->requestDidReceiveResponse(*this, response);
  }
}

void FBRequest::connectionDidReceiveData(std::string_view data) {
  if (!responseText_) responseText_.emplace();
  responseText_->append(data);
}

void FBRequest::connectionDidFinishLoading() {
  auto self = weak_from_this().lock();
  std::string body = responseText_ ? std::move(*responseText_) : std::string();
  if (statusCode_ != 0 && (statusCode_ < 200 || statusCode_ >= 300)) {
    failWithStatus(body);
  } else {
    handleResponseData(body);
  }
  endExchange();
}

void FBRequest::failWithStatus(std::string_view body) {
  // The server's own account of the error when its body gives one, else the status.
  std::optional<Error> error;
  parseJsonResponse(body, error);
  if (!error || error->localizedDescription.empty()) {
    error = formError(statusCode_, Dictionary{{"error_msg", "the server answered HTTP " +
                                                                std::to_string(statusCode_)}});
  }
  failWithError(*error);
}

void FBRequest::connectionDidFailWithError(const Error& error) {
  auto self = weak_from_this().lock();
  failWithError(error);
  endExchange();
}

void FBRequest::endExchange() {
  responseText_.reset();
  connection_.cancel();
}

}  // namespace tumbla
