-- array_words: the product of two 280 x 280 int matrices held row by row in int
-- arrays, and the sum of the product's diagonal.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local N = 280

local function body()
  local a, b, c = {}, {}, {}
  for k = 0, N * N - 1 do
    a[k + 1] = k % 7 - 2
    b[k + 1] = k % 5 + 1
    c[k + 1] = 0
  end
  for i = 0, N - 1 do
    for j = 0, N - 1 do
      local s = 0
      for k = 0, N - 1 do
        s = s + a[i * N + k + 1] * b[k * N + j + 1]
      end
      c[i * N + j + 1] = s
    end
  end
  local trace = 0
  for i = 0, N - 1 do trace = trace + c[i * N + i + 1] end
  return trace
end

harness.best(body, function(r) return r == 235200 end)
