-- str_split: splits a text of 60000 comma-separated fields (with empty ones) ten times.
package.path = (arg[0]:match("(.*/)") or "./") .. "../../lua/?.lua;" .. package.path
local harness = require("harness")

local function body()
  local text = string.rep("alpha,beta,,gamma,", 20000)
  local pieces = 0
  for _ = 1, 10 do
    local t = {}
    for w in text:gmatch("[^,]+") do t[#t + 1] = w end
    pieces = #t
  end
  return pieces
end

harness.best(body, function(r) return r == 60000 end)
