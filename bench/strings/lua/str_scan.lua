-- str_scan: reads a text of 20000 sentences character by character, counting the
-- words (runs of letters) and the letters o, 15 times.
package.path = (arg[0]:match("(.*/)") or "./") .. "../../lua/?.lua;" .. package.path
local harness = require("harness")

local function body()
  local text = string.rep("the quick brown fox jumps over the lazy dog ", 20000)
  local words, os = 0, 0
  for _ = 1, 15 do
    local inWord = false
    for i = 1, #text do
      local c = string.byte(text, i)
      if c == 32 then
        inWord = false
      else
        if not inWord then words = words + 1; inWord = true end
        if c == 111 then os = os + 1 end
      end
    end
  end
  return words * 10 + os
end

harness.best(body, function(r) return r == 28200000 end)
