-- fib: recursive fib(35), two calls per level.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local function fib(n)
  if n < 2 then return n end
  return fib(n - 1) + fib(n - 2)
end

harness.best(function() return fib(35) end, function(r) return r == 9227465 end)

