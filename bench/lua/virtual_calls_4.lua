-- virtual_calls_4: a ring of four objects of four classes; each of 12.5 million turns moves
-- to the next object and adds its get(i) (four receiver classes at one call site).
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local function class(get)
  local c = {get = get}
  c.__index = c
  return c
end
local A = class(function(self, x) return self.v + (x & 7) end)
local B = class(function(self, x) return self.v * 2 - (x & 3) end)
local C = class(function(self, x) return (x ~ self.v) & 31 end)
local D = class(function(self, x) return self.v end)

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
  local o = ring({A, B, C, D})
  local sum = 0
  for i = 0, N - 1 do
    o = o.next
    sum = sum + o:get(i)
  end
  return sum
end

harness.best(body, function(r) return r == 93750000 end)
