-- fixed_math: 2000000 rounds of y = x * 1.25 / 1.125, s = s + sqrt(y) + sin(y),
-- x = x + 2^-20, in double precision (the player works in 32.32 fixed point).
package.path = (arg[0]:match("(.*/)") or "./") .. "../lua/?.lua;" .. package.path
local harness = require("harness")

local ROUNDS = 2000000
local sqrt, sin = math.sqrt, math.sin

local function body()
  local x, s = 0.5, 0.0
  for _ = 1, ROUNDS do
    local y = x * 1.25 / 1.125
    s = s + sqrt(y)
    s = s + sin(y)
    x = x + 2 ^ -20
  end
  return s
end

harness.best(body, function(r) return math.abs(r - 4136339.19) < 0.01 end)
