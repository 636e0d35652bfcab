-- exceptions: 100 rounds of 25000 checked calls; three calls in four throw an error
-- object from two calls down, caught around the outer call (error and pcall).
package.path = (arg[0]:match("(.*/)") or "./") .. "?.lua;" .. package.path
local harness = require("harness")

local ROUNDS, CALLS = 100, 25000

local function validate(i)
  if i & 3 ~= 0 then error({code = i & 15}, 0) end
  return i & 1
end

local function check(i) return validate(i) + 1 end

local function body()
  local caught, sum = 0, 0
  for _ = 1, ROUNDS do
    for i = 0, CALLS - 1 do
      local ok, r = pcall(check, i)
      if ok then sum = sum + r else caught = caught + 1; sum = sum + r.code end
    end
  end
  return sum * 4 + caught
end

harness.best(body, function(r) return r == 64365400 end)
