-- wrk script of bench/run.sh's new-keyword rows: every request asks a keyword the server has not
-- been asked before. Each request appends the next keyword of a list file (bench/keywords.cpp
-- writes them, one a line, percent-encoded) to the URL, which ends in "searchkeyword=":
--   wrk -tT -dD --timeout D ... -s bench/keywords.lua URL -- FILE FIRST COUNT T DONE_FILE SECONDS
-- The run's slice is the COUNT lines from line FIRST (1-based) on; the T wrk threads split it,
-- each taking its own part in turn, so that no keyword is sent twice. The script never cycles,
-- and it keeps the time itself: a thread sends for SECONDS from its first request, or until
-- its part runs out, then waits for the answers to all it sent, and stops; when every thread
-- has stopped (each appends a line to DONE_FILE, a new file of the run) the run ends there, as
-- on Ctrl-C. wrk's own duration D is only a bound, well past SECONDS, and so is its timeout, so
-- that a slow answer is waited for and counted rather than dropped at the end of the run or
-- left out of the latencies. A slice that runs out before SECONDS gives figures over its own
-- requests alone. At the end one line is printed:
--   keywords: sent S answered A not200 N seconds T ran_out yes|no rate R
-- T is the time from the first request sent to the last answer read and R = A / T, the rate
-- over the keyword requests' own span; "not200" counts the answers whose status was not 200,
-- and ran_out says whether the slice was used up (every thread its part) before SECONDS were over.
local ffi = require("ffi")
ffi.cdef [[
struct keywords_timespec { long tv_sec; long tv_nsec; };
int clock_gettime(int clock, struct keywords_timespec *t);
int getpid(void);
int kill(int pid, int sig);
]]
local clock = ffi.new("struct keywords_timespec")
local function now()  -- seconds on the monotonic clock, the same in every thread
  ffi.C.clock_gettime(1, clock)
  return tonumber(clock.tv_sec) + tonumber(clock.tv_nsec) * 1e-9
end

-- The setup phase (its own Lua state, which also prints the summary).
local threads = {}
function setup(thread)
  thread:set("index", #threads)
  table.insert(threads, thread)
end

-- Each thread's state.
local requests           -- its part of the slice, as whole requests (read by load())
local claimed = 0        -- requests a connection was let send
local deadline           -- when the thread stops sending (set by load())
local closed = false     -- no more requests: the part ran out or the time is over
sent, answered, not200 = 0, 0, 0
first_at, last_at = nil, nil
ran_out = false
local finished = false
local done_file, thread_count

local file, from, part, seconds
function init(args)
  local first, count = tonumber(args[2]), tonumber(args[3])
  file, thread_count, done_file = args[1], tonumber(args[4]), args[5]
  seconds = tonumber(args[6])
  part = math.floor(count / thread_count)
  from = first + index * part
  if index == thread_count - 1 then part = count - index * part end
end

-- Reads the thread's part of the list, at its first request rather than in init(): wrk starts a
-- thread as soon as its init() returns and only then calls the next one's, so a list read there
-- would give the first thread a start of its own.
local function load()
  requests = {}
  local line = 0
  for keyword in io.lines(file) do
    line = line + 1
    if line >= from + part then break end
    if line >= from then
      -- As from one of 64 client addresses of the thread (see bench/addresses.lua).
      local headers = {}
      for name, value in pairs(wrk.headers) do headers[name] = value end
      headers["X-Forwarded-For"] = "10.2." .. index .. "." .. (#requests % 64 + 1)
      table.insert(requests, wrk.format(nil, wrk.path .. keyword, headers))
    end
  end
  deadline = now() + seconds
end

-- Stops the thread once all it sent is answered; the last thread to stop ends the run.
local function finish()
  if finished then return end
  finished = true
  wrk.thread:stop()
  local f = io.open(done_file, "a")
  f:write("done\n")
  f:close()
  local stopped = 0
  for _ in io.lines(done_file) do stopped = stopped + 1 end
  if stopped >= thread_count then ffi.C.kill(ffi.C.getpid(), 2) end
end

function delay()
  if not requests then load() end
  if not closed and claimed < #requests and now() < deadline then
    claimed = claimed + 1
    return 0
  end
  closed = true
  if claimed >= #requests then ran_out = true end
  if answered >= claimed then finish() end
  return 3600000  -- nothing more to send: this connection waits for the end of the run
end

function request()
  if sent >= claimed then
    -- No claim: wrk's check of the script before the run starts (the first request, not sent),
    -- or a request written again after a failed write (the last one again).
    return requests and requests[math.max(sent, 1)] or wrk.format()
  end
  sent = sent + 1
  if not first_at then first_at = now() end
  return requests[sent]
end

function response(status, headers, body)
  answered = answered + 1
  last_at = now()
  if status ~= 200 then not200 = not200 + 1 end
  if closed and answered >= claimed then finish() end
end

function done(summary, latency, requests)
  local s, a, n, first, last, out = 0, 0, 0, nil, nil, true
  for _, thread in ipairs(threads) do
    s = s + (thread:get("sent") or 0)
    a = a + (thread:get("answered") or 0)
    n = n + (thread:get("not200") or 0)
    local f, l = thread:get("first_at"), thread:get("last_at")
    if f and (not first or f < first) then first = f end
    if l and (not last or l > last) then last = l end
    if not thread:get("ran_out") then out = false end
  end
  local seconds = (first and last and last > first) and (last - first) or 0
  io.write(string.format("keywords: sent %d answered %d not200 %d seconds %.6f ran_out %s rate %s\n",
    s, a, n, seconds, out and "yes" or "no",
    seconds > 0 and string.format("%.2f", a / seconds) or "-"))
end
