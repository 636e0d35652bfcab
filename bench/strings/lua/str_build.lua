-- str_build: builds one text of 360000 records "item<i>=<i*7>;" from numbers
-- turned into text, appended piece by piece (Lua: a buffer table joined at the end).
package.path = (arg[0]:match("(.*/)") or "./") .. "../../lua/?.lua;" .. package.path
local harness = require("harness")

local N = 360000

local function body()
  local parts, n = {}, 0
  for i = 0, N - 1 do
    n = n + 1
    parts[n] = "item" .. tostring(i) .. "=" .. tostring(i * 7) .. ";"
  end
  return #table.concat(parts)
end

harness.best(body, function(r) return r == 6570157 end)
