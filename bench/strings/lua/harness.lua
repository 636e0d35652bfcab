-- Shared timing for the string and vector reference scripts: `lua5.4 NAME.lua
-- [REPS [RUNS]]` runs the body REPS times per run and prints the best process CPU
-- time of RUNS runs in seconds, as bench_strings measures the player.
local harness = {}

function harness.best(body, check)
  local reps = tonumber(arg[1]) or 1
  local runs = tonumber(arg[2]) or 3
  local best = math.huge
  for _ = 1, runs do
    local result
    local start = os.clock()
    for _ = 1, reps do result = body() end
    local took = os.clock() - start
    if not check(result) then error("wrong result: " .. tostring(result)) end
    if took < best then best = took end
  end
  print(string.format("%.4f", best))
end

return harness
