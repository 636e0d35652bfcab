-- alloc_loop: 400 rounds, each building a 10000-node list (the list of the round
-- before stays reachable until it is replaced), then a full collection.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local ROUNDS, NODES = 400, 10000
kept = nil  -- a global, as the player keeps the list in a global word

local function round()
  local head = nil
  for i = 0, NODES - 1 do
    head = {v = i, next = head}
  end
  kept = head
end

local function body()
  collectgarbage("stop")  -- as in the player: collect only between rounds
  for _ = 1, ROUNDS do
    round()
    collectgarbage("collect")
  end
  collectgarbage("restart")
  return kept.v
end

harness.best(body, function(r) return r == NODES - 1 end)
