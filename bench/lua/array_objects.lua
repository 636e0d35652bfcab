-- array_objects: an array of 1000 points; 20000 passes each add x * y of every point
-- to a sum and move the point.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local COUNT, PASSES = 1000, 20000

local function body()
  local points = {}
  for k = 0, COUNT - 1 do points[k + 1] = {x = k % 17, y = k % 13} end
  local sum = 0
  for _ = 1, PASSES do
    for k = 1, COUNT do
      local p = points[k]
      sum = (sum + p.x * p.y) & 0xFFFFFFF
      p.x = (p.x + 1) & 31
    end
  end
  return sum
end

harness.best(body, function(r) return r == 247527264 end)
