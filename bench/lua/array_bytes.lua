-- array_bytes: the sieve of Eratosthenes over a byte array of 6 million flags,
-- then a pass that counts the primes.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local N = 6000000

local function body()
  local flags = {}
  for i = 1, N do flags[i] = 0 end
  local i = 2
  while i * i < N do
    if flags[i] == 0 then
      for j = i * i, N - 1, i do flags[j] = 1 end
    end
    i = i + 1
  end
  local count = 0
  for k = 2, N - 1 do
    if flags[k] == 0 then count = count + 1 end
  end
  return count
end

harness.best(body, function(r) return r == 412849 end)
