-- wrk script: auth, post_logs and post_issue (with a screenshot) in turn, from
-- bodies the load script wrote. A request whose answer is not HTTP 200 with
-- "response_code":0 counts as bad; the total is printed at the end.
local threads = {}

function setup(thread)
  table.insert(threads, thread)
end

local function read(path)
  local f = assert(io.open(path, "rb"))
  local text = f:read("*a")
  f:close()
  return text
end

function init(args)
  local dir = args[1]
  local headers = { ["Content-Type"] = "application/json" }
  requests = {
    wrk.format("POST", "/api/1_0/lib/auth", headers, read(dir .. "/auth.json")),
    wrk.format("POST", "/api/1_0/lib/post_logs", headers, read(dir .. "/logs.json")),
    wrk.format("POST", "/api/1_0/lib/post_issue", headers, read(dir .. "/issue.json")),
  }
  turn = 0
  bad = 0
end

function request()
  turn = turn % #requests + 1
  return requests[turn]
end

function response(status, headers, body)
  if status ~= 200 or not string.find(body, '"response_code":0', 1, true) then
    bad = bad + 1
  end
end

function done(summary, latency, requests)
  local total = 0
  for _, thread in ipairs(threads) do
    total = total + thread:get("bad")
  end
  io.write(string.format("bad answers: %d of %d\n", total, summary.requests))
  io.write(string.format("latency p50 %.2f ms, p99 %.2f ms, max %.2f ms\n", latency:percentile(50) / 1000,
                         latency:percentile(99) / 1000, latency.max / 1000))
end
