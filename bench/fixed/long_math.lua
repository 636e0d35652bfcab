-- long_math: a 64-bit linear congruential generator, x = x * A + C with wrap-around,
-- summing x >> 40 (arithmetic) over 100 rounds of 300000 steps.
package.path = (arg[0]:match("(.*/)") or "./") .. "../lua/?.lua;" .. package.path
local harness = require("harness")

local ROUNDS, STEPS = 100, 300000
local A, C = 6364136223846793005, 1442695040888963407

local function body()
  local x, s = 1, 0
  for _ = 1, ROUNDS do
    for _ = 1, STEPS do
      x = x * A + C
      s = s + x // (1 << 40)
    end
  end
  return s
end

harness.best(body, function(r) return r == 13767650885 end)
