// The routes that are not the web pages: the program's requests (POST /index.php with
// a=login, getInfo or sendMsg) and the operator's /healthz and /metrics.
#pragma once

#include "api/account_api.h"
#include "http/operator_pages.h"
#include "http/route_table.h"

void AddProgramRoutes(RouteTable& routes, AccountApi& api);
void AddOperatorRoutes(RouteTable& routes, const ServiceMetrics& metrics, const DatabaseProbes& probes,
                       MetricsAccess metricsAccess);

// The program's JSON reply to a request no route takes: 404, "未知请求", logged under its
// target.
WebReply UnknownRequest(const WebRequest& request);
// The program's JSON reply, logged under `action`.
WebReply ProgramReply(const std::string& action, const ApiReply& reply, int httpStatus);
