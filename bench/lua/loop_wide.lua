-- loop_wide: nested loops, the outer one testing at its bottom, the inner one at its
-- top (the player's version uses only the 4-byte forms of its jumps, locals and fields).
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local OUTER, INNER = 30000, 5000

local function body()
  local s, i = 0, 0
  repeat
    local j = 0
    while j < INNER do
      s = (s + (i ~ j)) & 0xFFFFFFF
      j = j + 3
    end
    i = i + 1
  until i >= OUTER
  return s
end

harness.best(body, function(r) return r == 162738616 end)
