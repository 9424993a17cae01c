#include "http/program_routes.h"

#include <cstdio>
#include <exception>

#include "http/log_line.h"
#include "http/request_action.h"
#include "store/database.h"

WebReply ProgramReply(const std::string& action, const ApiReply& reply, int httpStatus) {
  return WebReply{httpStatus, "application/json; charset=utf-8", {}, reply.json,
                  WebLogFacts{action, reply.username, reply.status, reply.info}};
}

WebReply UnknownRequest(const WebRequest& request) {
  return ProgramReply(request.target, Refusal(reply_info::kUnknownRequest), 404);
}

namespace {

// The program's "busy" answer, logged under the request it refuses.
WebReply ProgramBusy(const WebRequest& request) {
  const RequestAction action = ReadRequestAction(request.method, request.target);
  if (action == RequestAction::kUnknown) return UnknownRequest(request);
  return ProgramReply(ActionName(action), Refusal(reply_info::kBusy), 200);
}

WebReply AnswerProgram(AccountApi& api, const WebRequest& request) {
  const RequestAction action = ReadRequestAction(request.method, request.target);
  if (action == RequestAction::kUnknown) return UnknownRequest(request);
  // The program always says how long its form is; a chunked body is not the program talking.
  if (request.chunked) return ProgramReply(ActionName(action), Refusal(reply_info::kMalformed), 400);
  ApiReply reply;
  try {
    switch (action) {
      case RequestAction::kLogin:
        reply = api.Login(request.body, request.client);
        break;
      case RequestAction::kGetInfo:
        reply = api.GetInfo(request.body);
        break;
      default:
        reply = api.SendMsg(request.body);
        break;
    }
  } catch (const DatabaseBusy& e) {
    // The database did not answer within the request's deadline.
    std::fprintf(stderr, "%s failed: %s\n", action == RequestAction::kLogin ? "sign-in" : "request",
                 EscapeLogField(e.what()).c_str());
    reply = Refusal(reply_info::kBusy);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s failed: %s\n", action == RequestAction::kLogin ? "sign-in" : "request",
                 EscapeLogField(e.what()).c_str());
    reply = Refusal(reply_info::kServerError);
  }
  return ProgramReply(ActionName(action), reply, 200);
}

}  // namespace

void AddProgramRoutes(RouteTable& routes, AccountApi& api) {
  routes.Add(Route{"POST", "/index.php", [&api](const WebRequest& request) { return AnswerProgram(api, request); },
                   [](const WebRequest& request) {
                     return !request.chunked && ReadRequestAction(request.method, request.target) == RequestAction::kLogin;
                   },
                   [](const WebRequest& request) { return ProgramBusy(request); }});
}

void AddOperatorRoutes(RouteTable& routes, const ServiceMetrics& metrics, const DatabaseProbes& probes,
                       MetricsAccess metricsAccess) {
  // The operator's pages are neither logged nor counted: a load balancer's and a scraper's
  // polling would drown the program's requests.
  const auto page = [&metrics, &probes](OperatorPage which) {
    const OperatorReply answer = AnswerOperatorPage(which, metrics, probes);
    return WebReply{answer.httpStatus, answer.contentType, {}, answer.body, std::nullopt};
  };
  // /healthz answers from what is known already; /metrics asks the database for the
  // queue's gauges, on a thread of its own.
  routes.Add(Route{"GET", "/healthz", [page](const WebRequest&) { return page(OperatorPage::kHealth); }, nullptr,
                   nullptr, false, RouteRuns::kInline});
  routes.Add(Route{"GET", "/metrics",
                   [page, metricsAccess](const WebRequest& request) {
                     if (!MayReadMetrics(metricsAccess, request.peer, request.forwarded)) return UnknownRequest(request);
                     return page(OperatorPage::kMetrics);
                   },
                   nullptr, nullptr, false, RouteRuns::kMetrics});
}
