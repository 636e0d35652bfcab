-- vec_insert_remove: fills a table with 0 .. 99, then 200000 times inserts the next
-- number in its middle and removes its first element.
package.path = (arg[0]:match("(.*/)") or "./") .. "../../lua/?.lua;" .. package.path
local harness = require("harness")

local function body()
  local t = {}
  for i = 0, 99 do t[#t + 1] = i end
  for i = 100, 200099 do
    table.insert(t, #t // 2 + 1, i)
    table.remove(t, 1)
  end
  return t[1] * 1000 + #t
end

harness.best(body, function(r) return r == 200050100 end)
