-- Escape again resumes (not on the frame that opened the menu).
if Ready and IsEscapePressed() then
    DeleteMenuObjectsFromMenu("PauseMenu")
    Unpause()
end
Ready = true
