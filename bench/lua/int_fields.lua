-- int_fields: a loop whose counter and accumulators are fields of one object:
-- while o.i < N: o.sum = o.sum + (o.i & o.mask); o.odd = o.odd + (o.i & 1); o.i = o.i + 1.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local N = 15000000

local function body()
  local o = {i = 0, sum = 0, odd = 0, mask = 0xFF}
  while o.i < N do
    o.sum = o.sum + (o.i & o.mask)
    o.odd = o.odd + (o.i & 1)
    o.i = o.i + 1
  end
  return o.sum + o.odd
end

harness.best(body, function(r) return r == 1919993856 end)
