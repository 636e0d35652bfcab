-- int_inplace: a count-down loop whose locals change by compound assignment:
-- h ~= n; h *= 5; h &= 0xFFFF; s += h; s -= n & 7; s &= 0x3FFFFFF; t |= h; t <<= 1; t >>= 2.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local N = 30000000

local function body()
  local h, s, t = 0x1234, 0, 1
  for n = N, 1, -1 do
    h = h ~ n
    h = h * 5
    h = h & 0xFFFF
    s = s + h
    s = s - (n & 7)
    s = s & 0x3FFFFFF
    t = t | h
    t = t << 1
    t = t >> 2
  end
  return s ~ t
end

harness.best(body, function(r) return r == 4853311 end)
