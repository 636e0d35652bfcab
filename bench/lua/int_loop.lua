-- int_loop: sums 0 .. 10^8 - 1 in a counting loop.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local function body()
  local sum = 0
  for i = 0, 100000000 - 1 do
    sum = sum + i
  end
  return sum
end

harness.best(body, function(r) return r == 4999999950000000 end)
