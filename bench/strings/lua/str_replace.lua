-- str_replace: replaces every "o" by "0" and back five times on 1.8 MB of text,
-- then every "the" by "a".
package.path = (arg[0]:match("(.*/)") or "./") .. "../../lua/?.lua;" .. package.path
local harness = require("harness")

local function body()
  local text = string.rep("the quick brown fox jumps over the lazy dog ", 40000)
  for _ = 1, 5 do
    text = text:gsub("o", "0")
    text = text:gsub("0", "o")
  end
  text = text:gsub("the", "a")
  return #text
end

harness.best(body, function(r) return r == 1600000 end)
