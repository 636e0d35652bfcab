-- virtual_calls_1: a ring of four objects of one class; each of 12.5 million turns moves to
-- the next object and adds its get(i) (one receiver class at the call site).
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local A = {}
A.__index = A
function A:get(x) return self.v + (x & 7) end

local N = 12500000

local function ring(classes)
  local first = setmetatable({v = 1}, classes[1])
  local o = first
  for k = 2, 4 do
    o.next = setmetatable({v = k}, classes[k])
    o = o.next
  end
  o.next = first
  return first
end

local function body()
  local o = ring({A, A, A, A})
  local sum = 0
  for i = 0, N - 1 do
    o = o.next
    sum = sum + o:get(i)
  end
  return sum
end

harness.best(body, function(r) return r == 75000000 end)
