-- str_append: appends "abc" and then "!" 200000 times each, into a buffer joined at the end.
package.path = (arg[0]:match("(.*/)") or "./") .. "../../lua/?.lua;" .. package.path
local harness = require("harness")

local function body()
  local parts, n = {}, 0
  for _ = 1, 200000 do
    n = n + 1
    parts[n] = "abc"
    n = n + 1
    parts[n] = "!"
  end
  return #table.concat(parts)
end

harness.best(body, function(r) return r == 800000 end)
