#include "server/Dispatch.h"

#include "common/Text.h"
#include "server/ClientActivity.h"
#include "server/ConnectionContext.h"
#include "server/HttpResponse.h"
#include "server/PathResolver.h"
#include "server/RequestHandlers.h"
#include "server/RequestReader.h"
#include "server/SendResponse.h"
#include "server/StoreRouteFacts.h"
#include "store/SettingsReadScope.h"
#include "store/SiteSettings.h"
#include "store/Users.h"

namespace sarvo {
namespace {

constexpr char kEscapeMessage[] = "*** Path outside the shared folder refused.";

bool IsLoginPath(const ResolvedPath& path) {
    return path.kind == PathKind::CommunityPath && EqualsIgnoreCase(path.rest, "login");
}

bool HasValidCredentials(const HttpRequest& request) {
    std::string user;
    std::string password;
    return request.BasicCredentials(user, password) && CheckUserPassword(user, password);
}

void RecordFailed(const ConnectionContext& connection, std::string_view object) {
    RecordRequest(connection.Handle(), kActionFailed, object);
}

// The answer to a request that was read but is not acceptable.
int RefuseUnacceptable(ConnectionContext& connection) {
    const HttpRequest& request = connection.request;
    RecordFailed(connection, request.Path());
    if (!request.IsMalformed())
        return SendErrorPage(connection, kStatusBadRequest);
    if (UseAutoBlockList()) {
        AutoBlockClient(connection);
        return 0;
    }
    return SendErrorPage(connection, kStatusForbidden);
}

int RunHandler(ConnectionContext& connection, const ResolvedPath& path, Handler route) {
    RequestHandler handler = GetRequestHandler(route);
    // Routes whose feature is not built in end here.
    if (!handler)
        return SendErrorPage(connection, kStatusNotFound);
    return handler(connection, path);
}

}  // namespace

int SendErrorPage(ConnectionContext& connection, unsigned status) {
    HttpResponse response;
    if (ErrorPageBuilder build = GetErrorPageBuilder()) {
        build(response, status, connection.request.RawHeader());
    } else {
        response.BeginResponse(status);
        response.SetConnection();
        response.FinishHeaders();
    }
    return SendResponse(connection, response, ProgressReport::On);
}

int SendEchoPage(ConnectionContext& connection) {
    EchoPageBuilder build = GetEchoPageBuilder();
    if (!build)
        return SendErrorPage(connection, kStatusNotFound);
    HttpResponse response;
    build(response, connection.request.RawHeader());
    return SendResponse(connection, response, ProgressReport::On);
}

int DispatchRequest(ConnectionContext& connection) {
    // One look at the store for the whole request instead of one per setting; see RequestReader for
    // the moment it is taken.
    SettingsReadScope settings;
    if (int read = ReadRequestHeader(connection); read < 0)
        return read;
    const HttpRequest& request = connection.request;
    if (request.Path().empty()) {
        RecordFailed(connection, "null");
        return SendErrorPage(connection, kStatusBadRequest);
    }
    if (!request.IsAcceptable())
        return RefuseUnacceptable(connection);

    ResolvedPath path = ResolvePath(request.Path());
    if (path.escapesFolder) {
        LogConnectionRecord(connection, kEscapeMessage, request.RawHeader());
        RecordFailed(connection, request.Path());
        return SendErrorPage(connection, kStatusForbidden);
    }
    if (!path.found) {
        RecordFailed(connection, request.Path());
        return SendErrorPage(connection, kStatusNotFound);
    }
    if (UsePasswords() && !IsLoginPath(path) && !HasValidCredentials(request)) {
        HttpResponse response;
        ComposeUnauthorized(response);
        return SendResponse(connection, response, ProgressReport::On);
    }
    if (request.Query() == "?")
        return SendEchoPage(connection);

    const int method = request.Method();
    if (method == kMethodGet || method == kMethodHead) {
        RecordRequest(connection.Handle(), kActionDownload, request.Path());
    } else if (method == kMethodPost) {
        RecordRequest(connection.Handle(), kActionUpload, request.Path());
    } else {
        RecordFailed(connection, request.Path());
        return SendErrorPage(connection, kStatusMethodNotAllowed);
    }

    StoreRouteFacts facts(path);
    RouteChoice choice = ChooseRoute(RouteRequest{path.kind, method, request.Query(), path.rest}, facts);
    if (choice.IsError())
        return SendErrorPage(connection, choice.errorStatus);
    return RunHandler(connection, path, choice.handler);
}

}  // namespace sarvo
