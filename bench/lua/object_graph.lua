-- object_graph: 50 rounds, each building binary trees of depth 12 (eight of them)
-- and counting their nodes, beside one long-lived tree of depth 15; a full
-- collection after each round.
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local ROUNDS, TREES, DEPTH, LONG_DEPTH = 50, 8, 12, 15

local function make(d)
  if d == 0 then return {} end
  return {left = make(d - 1), right = make(d - 1)}
end

local function count(n)
  if n.left == nil then return 1 end
  return 1 + count(n.left) + count(n.right)
end

local function round()
  if kept == nil then kept = make(LONG_DEPTH) end
  local nodes = 0
  for _ = 1, TREES do nodes = nodes + count(make(DEPTH)) end
  return nodes + count(kept)
end

local function body()
  kept = nil  -- a global, as the player keeps the tree in a global word
  collectgarbage("stop")
  local total = 0
  for _ = 1, ROUNDS do
    total = total + round()
    collectgarbage("collect")
  end
  collectgarbage("restart")
  return total
end

harness.best(body, function(r) return r == 6553150 end)
