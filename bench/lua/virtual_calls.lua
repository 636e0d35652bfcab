-- virtual_calls: two objects of different classes, each asked for get(i) on every
-- turn of a 10^7 loop (method lookup through the class, as a virtual call does).
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local Square = {}
Square.__index = Square
function Square:get(x) return self.v + x end

local Circle = {}
Circle.__index = Circle
function Circle:get(x) return self.v - x end

local N = 10000000

local function body()
  local a = setmetatable({v = 3}, Square)
  local b = setmetatable({v = 5}, Circle)
  local sum = 0
  for i = 0, N - 1 do
    sum = sum + a:get(i)
    sum = sum + b:get(i)
  end
  return sum
end

harness.best(body, function(r) return r == 8 * N end)
