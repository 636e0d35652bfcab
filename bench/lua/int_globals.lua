-- int_globals: a loop whose counter and accumulators are global variables:
-- while count < N: total = total + count % 7; mix = (mix ~ total) & 0xFFFFF; count = count + 1.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local N = 12000000

local function body()
  count, total, mix = 0, 0, 0
  while count < N do
    total = total + count % 7
    mix = (mix ~ total) & 0xFFFFF
    count = count + 1
  end
  return total + mix
end

harness.best(body, function(r) return r == 36365270 end)
