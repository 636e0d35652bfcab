-- field_rw: a body bouncing in a box, its position and velocity in fields read and
-- written on every step; it counts the bounces.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local N, W, H = 11000000, 100000, 70000

local function body()
  local o = {x = 5, y = 7, vx = 13, vy = -11, bounces = 0}
  for _ = 1, N do
    o.x = o.x + o.vx
    if o.x < 0 or o.x > W then
      o.vx = -o.vx
      o.bounces = o.bounces + 1
    end
    o.y = o.y + o.vy
    if o.y < 0 or o.y > H then
      o.vy = -o.vy
      o.bounces = o.bounces + 1
    end
  end
  return o.x + o.y * 7 + o.bounces * 1000
end

harness.best(body, function(r) return r == 3269304 end)
