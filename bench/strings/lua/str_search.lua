-- str_search: in a text of 2000 sentences finds every "lazy" one after the other,
-- each search starting after the last match, 6000 times.
package.path = (arg[0]:match("(.*/)") or "./") .. "../../lua/?.lua;" .. package.path
local harness = require("harness")

local function body()
  local text = string.rep("the quick brown fox jumps over the lazy dog ", 2000)
  local found = 0
  for _ = 1, 6000 do
    local p = string.find(text, "lazy", 1, true)
    while p do
      found = found + 1
      p = string.find(text, "lazy", p + 1, true)
    end
  end
  return found
end

harness.best(body, function(r) return r == 12000000 end)
