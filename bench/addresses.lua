-- wrk script of bench/run.sh's page rows: each request comes as from one of 64 client addresses
-- of its wrk thread (X-Forwarded-For, which the measured servers take from 127.0.0.1, their
-- trusted proxy for the run), so that the host's bound of pages in progress per client address
-- sees a site's many readers rather than wrk's one address holding every connection back.
--   wrk ... -s bench/addresses.lua URL
local threads = 0
function setup(thread)
  thread:set("id", threads)
  threads = threads + 1
end

local sent = 0
function request()
  sent = sent + 1
  wrk.headers["X-Forwarded-For"] = "10.1." .. (id or 0) .. "." .. (sent % 64 + 1)
  return wrk.format()
end
