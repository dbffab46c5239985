-- The splash screen moves on to the title at any key or click.
if not Leaving and IsPlayerActionHeld("any") then
    Leaving = true
    SetNextScene("TitleMenuScene")
end
