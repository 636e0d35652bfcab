-- vec_append: appends 0 .. 999999 to a table, then sums the last 1000.
package.path = (arg[0]:match("(.*/)") or "./") .. "../../lua/?.lua;" .. package.path
local harness = require("harness")

local function body()
  local t = {}
  for i = 0, 999999 do t[#t + 1] = i end
  local sum = 0
  for i = 999999, 999000, -1 do sum = sum + t[i + 1] end
  return sum
end

harness.best(body, function(r) return r == 999499500 end)
