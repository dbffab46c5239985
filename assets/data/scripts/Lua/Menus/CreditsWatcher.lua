-- Once the credits are left, nothing more is done while they go.
if Done then
    return
end

-- Back to the main menu, once.
local function Leave()
    Done = true
    DeleteMenuObjectsFromMenu("CreditsControls")
    DeleteMenuObjectsFromMenu("CreditsMenu")
    Unpause()
    ReadMenu("MainMenu")
end

-- When the credits have scrolled by, the main menu comes back.
if CreditsAreOver() then
    Leave()
    return
elseif not IsGamePaused() then
    -- The credits scroll only while the game is paused; a focus regained unpauses it.
    Pause()
end

-- Escape leaves the credits at once, as the Back button does (not on the frame they opened).
if Ready and IsEscapePressed() then
    Leave()
    return
end
Ready = true
