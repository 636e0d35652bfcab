-- tak: the Takeuchi function, three times tak(26, 18, 9) + tak(24, 16, 8) + tak(23, 16, 8):
-- 42 million calls of three arguments.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local function tak(x, y, z)
  if y < x then
    return tak(tak(x - 1, y, z), tak(y - 1, z, x), tak(z - 1, x, y))
  end
  return z
end

local function body()
  local s = 0
  for _ = 1, 3 do s = s + tak(26, 18, 9) + tak(24, 16, 8) + tak(23, 16, 8) end
  return s
end

harness.best(body, function(r) return r == 105 end)
