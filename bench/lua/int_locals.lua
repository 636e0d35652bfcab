-- int_locals: a loop whose state lives in locals, each step reading them and
-- assigning new values: a = (a * 75 + 74) % 65537; b = (b + (a ~ i)) & 0xFFFFFF.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local N = 40000000

local function body()
  local a, b = 1, 0
  for i = 0, N - 1 do
    a = (a * 75 + 74) % 65537
    b = (b + (a ~ i)) & 0xFFFFFF
  end
  return b
end

harness.best(body, function(r) return r == 14531623 end)
