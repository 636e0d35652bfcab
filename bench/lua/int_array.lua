-- int_array: a loop whose counter and accumulators are elements of an int array,
-- with a 16-bucket histogram: h[i & 15] += i >> 4 & 3.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local N = 15000000

local function body()
  local a = {0, 0}          -- a[1]: i, a[2]: sum
  local h = {}
  for k = 1, 16 do h[k] = 0 end
  while a[1] < N do
    local k = (a[1] & 15) + 1
    h[k] = h[k] + (a[1] >> 4 & 3)
    a[2] = a[2] + h[k]
    a[1] = a[1] + 1
  end
  return a[2] & 0x7FFFFFFF
end

harness.best(body, function(r) return r == 575304672 end)
